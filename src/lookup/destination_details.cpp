#include "lookup/destination_details.h"

#include "data/connections.h"
#include "data/database.h"
#include "frame/procedure.h"

#include <cstdint>

namespace excursa {

std::optional<std::string> getdest(AppObject& app, const std::string& dest) {
    std::string instructions;
    const bool ran = RunProcedure(app, Procedure{"getdest", kModuleExcursa}, [&] {
        app.destination = AppObject::CurrentDestination{};
        // The language's conversion: "abc" is a type mismatch.
        const std::int32_t number = Trim(dest).empty() ? 0 : CLng(Value(dest));
        if (number == 0) return;
        if (app.destinationRead && app.destinationRead->number == number) {
            app.destination = app.destinationRead->found;
            instructions = app.destinationRead->instructions;
            return;
        }
        Recordset rs =
            Recordset::Open(Use(cnTrip), "SELECT * FROM DESTINATION WHERE DESTINATION.DESTINATION = ?",
                            {Value::Long(number)});
        if (!rs.eof()) {
            AppObject::CurrentDestination& found = app.destination;
            const Value description = rs.field("DESTDESC");
            if (!description.isNull()) found.description = CStr(description);
            const Value foundInstructions = rs.field("DESTSPEC");
            found.miles = static_cast<float>(NullToZero(rs.field("MILES")));
            found.address1 = NullToSpace(rs.field("DESTADD1"));
            found.address2 = NullToSpace(rs.field("DESTADD2"));
            if (!foundInstructions.isNull()) instructions = CStr(foundInstructions);
        }
        app.destinationRead = AppObject::DestinationRead{number, app.destination, instructions};
    });
    if (!ran) return std::nullopt;
    return instructions;
}

}  // namespace excursa
