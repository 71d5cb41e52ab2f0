#pragma once

#include "support/FileReader.h"
#include "uaxml/UaXmlElement.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;
struct _xmlParserCtxt;

/// One parsed XML document with a current-element cursor, over libxml2. Navigation moves the
/// cursor; reads and writes work on the element under it. Results are 0 for success and -1
/// for failure. Strings handed out are the caller's and are freed with freeXmlString.
///
/// Documents are parsed without network access, without entity substitution and with blank
/// text dropped; comments (also those after the root element) are kept and saved again. A
/// document whose document type declares entities is refused: reading its text could expand
/// a small file without limit, and nodesets never declare any.
class UaXmlDocument {
public:
    UaXmlDocument() = default;
    /// Frees the document, so an owner that forgets freeXmlDocument leaks nothing.
    ~UaXmlDocument();
    UaXmlDocument(const UaXmlDocument&) = delete;
    UaXmlDocument& operator=(const UaXmlDocument&) = delete;

    /// Counted start-up and release of libxml2 for the whole process: the first init sets the
    /// library up, the last cleanup releases it. A cleanup without a matching init is ignored.
    static void initXmlLibrary();
    static void cleanupXmlLibrary();
    /// Frees a string handed out by this layer and sets the pointer to null; null is left alone.
    static void freeXmlString(char*& text);

    /// Told of each child element of the root as soon as the parser has read it whole, while
    /// loadXmlFile still runs: a reader can work on each element while the parser goes on with
    /// the next ones, instead of walking the whole document again once it is loaded.
    class ElementListener {
    public:
        virtual ~ElementListener() = default;
        /// Called in document order, one call at a time, on a thread of its own (on the loading
        /// thread when no other can be started), while the loading thread goes on parsing. The
        /// cursor of `document` is on the finished element, and the element's own subtree is all
        /// that may be read: the parser may still be linking the element's next sibling and
        /// writing the elements after it. The view keeps to that subtree (toRoot goes to the
        /// element; getParent, getFollowingSibling and moveTo refuse to leave it; edits are
        /// refused), and nothing reached through currentElement() may leave it either: not the
        /// element's `next` or `parent`, nor the document's dictionary. Namespace lookups and
        /// attribute defaults of the document type are the exception: both were complete before
        /// the element began. The load may still fail afterwards.
        virtual void topLevelElementRead(UaXmlDocument& document) noexcept = 0;
    };

    /// The largest file loadXmlFile reads: a nodeset of several megabytes loads, a device or a
    /// runaway file does not fill the memory.
    static constexpr std::size_t kMaxFileBytes = support::kMaxWholeFileBytes;

    /// Frees any loaded document first; on failure (missing, unreadable, larger than
    /// kMaxFileBytes, not well-formed, no root element) the object stays empty and
    /// loadFailure() tells why. The path is read as a plain file name, never as a URL; a file
    /// that is not a regular file is refused before anything is read from it.
    int loadXmlFile(const char* path);
    /// loadXmlFile, telling `listener` (may be null) of each child element of the root.
    int loadXmlFile(const char* path, ElementListener* listener);
    /// The same over a buffer; `baseUrl` (may be null) only names the document.
    int loadXmlMemory(const char* buffer, int length, const char* baseUrl);
    /// Writes the whole document indented, in its own encoding. The file is replaced only once
    /// the new content is complete on disk; an existing file keeps its mode and owner.
    int saveXmlFile(const char* path) const;
    /// The bytes saveXmlFile writes, into `text` (emptied on failure).
    int saveXmlMemory(std::string& text) const;
    /// The bytes saveXmlFile writes, handed to `sink` piece by piece as they are produced (a
    /// failed save may have handed some already).
    int saveXmlTo(const std::function<void(std::string_view)>& sink) const;
    /// Frees the document and forgets the root and the cursor.
    void freeXmlDocument();
    /// Why the last load failed, as one line: what is wrong with the file ("cannot read F: it
    /// is not a regular file"), or the parser's first error ("line 3: Opening and ending tag
    /// mismatch: a line 2 and b"). Empty after a load that worked. The parser's messages go
    /// here only, never to standard error.
    const std::string& loadFailure() const { return m_loadFailure; }

    bool isLoaded() const { return m_document != nullptr; }
    /// Changes with every load, free and edit made through this object, and no two states of any
    /// documents of the process share one: lets a reader tell that what it read from the document
    /// is still what the document holds. (Changes made through libxml2 directly are not seen.)
    std::uint64_t revision() const { return m_revision; }

    int toRoot();
    /// Moves to the first child element named `name`; -1 leaves the cursor where it was.
    int getChild(const char* name);
    /// Every child element named `name`, in document order; the cursor does not move.
    int getChildren(const char* name, std::vector<UaXmlElement>& elements) const;
    /// Moves to the first child element, skipping text, comments and other non-element nodes.
    int getFirstChild();
    int getFollowingSibling();
    /// Moves to the parent node; from the root element that is the document node, from which
    /// only navigation (getFirstChild, getChild) leads anywhere.
    int getParent();
    /// The current element's local name, owned by the document; null without a current element.
    const char* getNodeName() const;
    /// The current element's own namespace URI, else the default namespace in scope, else "".
    /// Owned by the document; never null.
    const char* getNamespaceUri() const;

    /// Reads hand out new strings; a string already in the output is freed first, and a failed
    /// read leaves null.
    int getAttributeValue(const char* name, char*& value) const;
    int getContent(char*& content) const;
    /// Serialises the current element with its descendants, indented. The buffer holds exactly
    /// `length` bytes and is NOT zero-terminated; free it with freeXmlString.
    int dumpCurrent(char*& buffer, int& length) const;

    /// Sets or replaces an attribute; refuses a value that is not valid UTF-8.
    int setAttributeValue(const char* name, const char* value);
    /// Adds a new attribute; refuses invalid UTF-8 and a name the element already carries.
    int addAttribute(const char* name, const char* value);
    /// Appends a new element (no namespace) as the last child of the current element, with
    /// `content` (may be null) as its text, and moves the cursor to it.
    int addChild(const char* name, const char* content);
    /// Removes the current element with its descendants and moves the cursor to its parent.
    /// The root element cannot be removed: the document would be left without one.
    int removeCurrent();

    /// The cursor when it is on an element (not on the document node), else null: for readers
    /// that walk a large document without copying every name and text.
    _xmlNode* currentElement() const;
    /// Moves the cursor to an element of this document handed out before (by currentElement);
    /// -1 for null or an element of another document leaves the cursor where it was.
    int moveTo(const _xmlNode* element);

    /// The line of an element of a document this layer parsed: libxml2's count of where its start
    /// tag ends, also past line 65535, where libxml2 itself keeps no element lines. 0 for null and
    /// for elements added by edits.
    static long lineOf(const _xmlNode* element);

private:
    class Parse;
    /// Parses with `parser` (which it frees) under `url` with `options`, recording element lines
    /// and telling `listener` (may be null) of the root's children; null unless the document is
    /// well-formed.
    /// The parser's first error goes to `failure` (emptied first).
    static _xmlDoc*
    parse(_xmlParserCtxt* parser, const char* url, int options, ElementListener* listener, std::string& failure);
    /// Makes the parser stop, not well-formed, at the first entity declaration.
    static void refuseEntityDeclarations(_xmlParserCtxt* parser);
    int adoptParsed(_xmlDoc* document);
    void changed();
    bool isEditable() const { return !m_listenerView; }
    /// The element under the cursor when the attribute `name` may be written there with
    /// `value`; null when there is none, the document may not be edited or either text may not
    /// be stored.
    _xmlNode* attributeTarget(const char* name, const char* value) const;
    /// Whether the cursor may go to `element`: anywhere, except in a listener's view, which keeps
    /// to the subtree of its element (m_root).
    bool mayVisit(const _xmlNode* element) const;

    _xmlDoc* m_document = nullptr;
    _xmlNode* m_root = nullptr;
    _xmlNode* m_current = nullptr;
    std::uint64_t m_revision = 0;
    std::string m_loadFailure;
    // A listener's view of a document still being parsed: read only, kept to the subtree of its
    // element (m_root), and the document's name dictionary, which the parser is still filling,
    // is not consulted.
    bool m_listenerView = false;
};
