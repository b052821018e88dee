// The two addresses the server answers for the district's monitoring besides
// the pages: /healthz for a load balancer or monitor, /metrics for a metrics
// collector, which only the loopback and the addresses the administrator names
// may read.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace excursa {

// The service's health: no problems means healthy. Each problem is one short
// line that names nothing private ("database trip.db: missing").
struct HealthAnswer {
    std::vector<std::string> problems;
    bool healthy() const { return problems.empty(); }
};

// One address, or a network written with its prefix length.
struct AddressRange {
    std::array<unsigned char, 16> bytes{};  // an IPv4 address as its IPv4-mapped IPv6 form
    unsigned prefixBits = 128;
};

// "192.0.2.7", "192.0.2.0/24", "2001:db8::1", "2001:db8::/32"; nullopt for anything else.
std::optional<AddressRange> ParseAddressRange(std::string_view text);
// Ranges separated by commas; throws std::invalid_argument naming the first that is not one.
std::vector<AddressRange> ParseAddressRanges(std::string_view list);
// True when the peer address (as the socket reports it) is on the loopback or in one of the ranges.
bool MayReadMetrics(std::string_view peer, const std::vector<AddressRange>& allowed);

struct MonitorOptions {
    // Asked on a worker for each /healthz request; without it /healthz is not served.
    std::function<HealthAnswer()> health;
    // Peers beside the loopback that may read /metrics.
    std::vector<AddressRange> metricsFrom;
};

}  // namespace excursa
