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
std::string TypedText(const Value& v) {
    std::string text(1, static_cast<char>('A' + static_cast<int>(v.type())));
    if (!v.isNull()) text += CStr(v);
    return text;
}

}  // namespace

std::string RequestVersion(Recordset& request) {
    Poco::SHA1Engine engine;
    for (const FieldInfo& info : request.fields()) {
        engine.update(UCase(info.name));
        engine.update(kUnitSeparator);
        engine.update(TypedText(request.field(info.name)));
        engine.update(kRecordSeparator);
    }
    return Poco::DigestEngine::digestToHex(engine.digest());
}

std::string PostedVersion(const Host& host) { return Trim(host.formField(kVersionField)); }

bool ChangedSinceShown(Recordset& request, const std::string& postedVersion) {
    if (postedVersion.empty()) return false;
    return !SameTextNoCase(RequestVersion(request), postedVersion);
}

}  // namespace excursa
