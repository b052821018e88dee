#include "request/request_version.h"

#include <Poco/DigestEngine.h>
#include <Poco/SHA1Engine.h>

namespace excursa {

namespace {

// Separators that no column name or stored text of the form holds, so that moving text from one
// column to the next changes the fingerprint.
constexpr char kUnitSeparator = '\x1f';
constexpr char kRecordSeparator = '\x1e';

// The type takes part: a Null and a blank, or 0 and "0", are different versions.
void AppendTypedText(std::string& text, const Value& v) {
    text += static_cast<char>('A' + static_cast<int>(v.type()));
    if (!v.isNull()) text += CStr(v);
}

}  // namespace

std::string RequestVersion(Recordset& request) {
    // Hashed in one piece: the digest takes a few long updates far faster than many short ones.
    std::string text;
    const std::vector<FieldInfo>& fields = request.fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        text += UCase(fields[i].name);
        text += kUnitSeparator;
        AppendTypedText(text, request.fieldAt(i));
        text += kRecordSeparator;
    }
    Poco::SHA1Engine engine;
    engine.update(text);
    return Poco::DigestEngine::digestToHex(engine.digest());
}

std::string PostedVersion(const Host& host) { return Trim(host.formField(kVersionField)); }

bool ChangedSinceShown(Recordset& request, const std::string& postedVersion) {
    if (postedVersion.empty()) return false;
    return !SameTextNoCase(RequestVersion(request), postedVersion);
}

}  // namespace excursa
