#include "SessionServices.h"

#include "ActionEntry.h"
#include "Owners.h"

namespace ca {

Text GetInstallerProperty(win::MsiHandle install, const char16_t* name) {
    Text value;
    char16_t none[1] = {u'\0'};
    std::uint32_t capacity = 0;
    std::uint32_t status = win::MsiGetPropertyW(install, name, none, &capacity);
    if (status == win::ErrorMoreData) {
        const std::uint32_t withTerminator = capacity + 1;
        value.assign(withTerminator, u'\0');
        capacity = withTerminator;
        status = win::MsiGetPropertyW(install, name, value.data(), &capacity);
        value.resize(Text::traits_type::length(value.c_str()));
    }
    if (status != win::ErrorSuccess) throw ActionErrorCode(status);
    return value;
}

void SetInstallerProperty(win::MsiHandle install, const char16_t* name, const Text& value) {
    win::MsiSetPropertyW(install, name, value.c_str());
}

namespace {

// Passes `text` to the installer as a message of the given type. `answered`
// tells whether the installer got the message at all.
std::int32_t ProcessMessage(win::MsiHandle install, const Text& text, std::uint32_t messageType,
                            bool& answered) {
    answered = false;
    const Text escaped = EscapeRecordTemplate(text);
    const UniqueRecord record(win::MsiCreateRecord(0));
    if (!record) return 0;
    win::MsiRecordSetStringW(record.get(), 0, escaped.c_str());
    answered = true;
    return win::MsiProcessMessage(install, messageType, record.get());
}

}  // namespace

std::int32_t LogInfo(win::MsiHandle install, const Text& line) {
    bool answered = false;
    return ProcessMessage(install, line, win::InstallMessageInfo, answered);
}

std::int32_t ShowInstallerMessage(win::MsiHandle install, const Text& text,
                                  std::uint32_t messageType) {
    bool answered = false;
    const std::int32_t answer = ProcessMessage(install, text, messageType, answered);
    // The installer gives no answer: keep the text in MESSAGE for the package.
    if (answered && answer == 0) win::MsiSetPropertyW(install, u"MESSAGE", text.c_str());
    return answer;
}

bool IsWhiteSpace(char16_t c) noexcept {
    if (c < 0x100) return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0;
    std::uint16_t type = 0;
    return win::GetStringTypeW(win::CtCType1, &c, 1, &type) && (type & win::C1Space) != 0;
}

Text TrimWhiteSpace(TextView text) {
    std::size_t end = text.size();
    while (end > 0 && IsWhiteSpace(text[end - 1])) --end;
    std::size_t begin = 0;
    while (begin < end && IsWhiteSpace(text[begin])) ++begin;
    return Text(text.substr(begin, end - begin));
}

Text PopToken(Text& source) {
    const std::size_t separator = source.find(u'|');
    Text field;
    if (separator == Text::npos) {
        field.swap(source);
    } else {
        field.assign(source, 0, separator);
        source.erase(0, separator + 1);
    }
    return TrimWhiteSpace(field);
}

Text JoinPath(const Text& base, const char16_t* component) {
    if (component == nullptr) return base;
    const TextView tail(component);
    Text joined;
    joined.reserve(base.size() + 1 + tail.size());
    joined = base;
    const bool baseEndsWithSlash = !base.empty() && base.back() == u'\\';
    const bool tailStartsWithSlash = !tail.empty() && tail.front() == u'\\';
    if (!baseEndsWithSlash && !tailStartsWithSlash) joined.push_back(u'\\');
    joined += tail;
    return joined;
}

Text JoinPath(const Text& base, const Text& component) { return JoinPath(base, component.c_str()); }

Text EscapeRecordTemplate(TextView text) {
    Text escaped;
    escaped.reserve(text.size());
    for (const char16_t c : text) {
        if (c == u'[')
            escaped += u"[\\[]";
        else if (c == u']')
            escaped += u"[\\]]";
        else
            escaped.push_back(c);
    }
    return escaped;
}

}  // namespace ca
