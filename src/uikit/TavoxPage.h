#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

class MessageBoxes;
class SheetServices;

/// A page of the main sheet, in the roles of a property page: initialised once when first
/// activated, applied by the sheet's Apply and OK, refreshed after a restore.
/// The members named after the property-page framework's (OnInitDialog, OnApply, SetModified)
/// keep its PascalCase, as do the window classes' own handlers: they are the names the product
/// documents, not slips from the project's lowerCamelCase.
class CTavoxPage : public QWidget {
    Q_OBJECT

public:
    CTavoxPage(const QString& caption, MessageBoxes& boxes, QWidget* parent = nullptr);

    /// The tab caption (the caption of the page's dialog template).
    const QString& caption() const { return m_caption; }

    /// Window initialisation, run once when the page is first activated; a page stores itself
    /// in its process-wide pointer here.
    virtual void OnInitDialog() {}
    /// Writes the page's settings; false when the input was rejected.
    virtual bool OnApply() { return true; }
    /// The sheet's refresh after a restore from the notification area, and of the Status and
    /// Endpoints pages after every change of the service's state.
    virtual void Refresh() {}
    /// The history database connection reported by the sheet's status poll: the service's
    /// "SQLServerStatus" while it runs (1 connected), 0 while it does not. Only the ODBC
    /// Database page shows it.
    virtual void UpdateSqlStatus(std::uint32_t status) { (void)status; }
    /// Completes the changes that this page leaves to the Status page's apply (the node
    /// configuration file is written back there). False when a pending write failed.
    virtual bool CompletePendingWrite() { return true; }

    /// Marks the page changed (enables the sheet's Apply button) or unchanged.
    void SetModified(bool changed = true);
    bool isModified() const { return m_modified; }
    bool isInitialized() const { return m_initialized; }
    /// Runs OnInitDialog the first time only.
    void ensureInitialized();

    void setSheet(SheetServices* sheet) { m_sheet = sheet; }
    SheetServices* sheet() const { return m_sheet; }
    MessageBoxes& messageBoxes() const { return m_boxes; }

signals:
    void modifiedChanged(bool modified);

private:
    QString m_caption;
    MessageBoxes& m_boxes;
    SheetServices* m_sheet = nullptr;
    bool m_modified = false;
    bool m_initialized = false;
};
