// How one run of a service's upload flow ends: as the service view would end
// it, either a completed upload (the view closes) or an alert built from a
// title key, a message key and an "OK" button (the view stays open).
#pragma once

#include <string>

namespace services {

struct ShareOutcome {
    bool completed = false;   // the upload went through
    std::string titleKey;     // alert title key ("ERROR_FAIL", "WARNING", ...); empty when completed
    std::string messageKey;   // alert message key ("ERROR_UPLOAD_FAIL_MSG", ...)
    std::string detail;       // the service's own words, when the alert shows them (may be empty)

    static ShareOutcome success() { return {true, {}, {}, {}}; }
    static ShareOutcome alert(std::string title, std::string message, std::string detail = {})
    {
        return {false, std::move(title), std::move(message), std::move(detail)};
    }
};

} // namespace services
