#include "history/OdbcNotices.h"

namespace history::notices {

Notice noDriverFound()
{
    return {u"No any SQL driver can be find!", u"Warning!", NoticeIcon::Warning};
}

Notice selectDriver()
{
    return {u"Please select SQL Driver!", u"Error!", NoticeIcon::Error};
}

Notice checkAllSettings()
{
    return {u"Please check all setting value!", u"Error!", NoticeIcon::Error};
}

Notice fileNotOpened(std::u16string_view path)
{
    return {std::u16string(path) + u" doesn't exist or it can't be opened!", u"Error!", NoticeIcon::Error};
}

Notice fileNotWritten(std::u16string_view path)
{
    return {std::u16string(path) + u" can't be written!", u"Error!", NoticeIcon::Error};
}

Notice valueNotWritable(std::u16string_view label, std::u16string_view path)
{
    return {u"The value of \"" + std::u16string(label) + u"\" holds a line break and can't be written to "
            + std::u16string(path) + u"!",
        u"Error!", NoticeIcon::Error};
}

Notice blankField()
{
    return {u"Blank field! Please check all setting value!", u"Error!", NoticeIcon::Error};
}

Notice localhost()
{
    return {u"The IP is localhost. It means that you can't remote connect. Do you want to do it continue?",
        u"Localhost",
        NoticeIcon::Question};
}

} // namespace history::notices
