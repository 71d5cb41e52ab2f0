#include "history/OdbcNotices.h"

#include "support/TextCodec.h"

namespace history::notices {

UserMessage noDriverFound() { return { "No any SQL driver can be find!", "Warning!", MbIcon::Warning }; }

UserMessage selectDriver() { return { "Please select SQL Driver!", "Error!", MbIcon::Error }; }

UserMessage checkAllSettings() { return { "Please check all setting value!", "Error!", MbIcon::Error }; }

UserMessage fileNotOpened(const std::filesystem::path& path)
{
    return { path.string() + " doesn't exist or it can't be opened!", "Error!", MbIcon::Error };
}

UserMessage fileNotWritten(const std::filesystem::path& path)
{
    return { path.string() + " can't be written!", "Error!", MbIcon::Error };
}

UserMessage valueNotWritable(std::u16string_view label, const std::filesystem::path& path)
{
    return { "The value of \"" + support::utf16ToUtf8(label) + "\" holds a line break and can't be written to "
            + path.string() + "!",
        "Error!",
        MbIcon::Error };
}

UserMessage blankField() { return { "Blank field! Please check all setting value!", "Error!", MbIcon::Error }; }

UserMessage localhost()
{
    return { "The IP is localhost. It means that you can't remote connect. Do you want to do it continue?",
        "Localhost",
        MbIcon::Question,
        MbButtons::YesNo };
}

} // namespace history::notices
