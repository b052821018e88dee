#include "frame/monitoring.h"

#include <boost/asio/ip/address.hpp>

#include <charconv>
#include <stdexcept>

namespace excursa {

namespace {

constexpr unsigned kMappedPrefixBits = 96;  // ::ffff:0:0/96 holds the IPv4 addresses

std::optional<std::array<unsigned char, 16>> AddressBytes(std::string_view text) {
    boost::system::error_code ec;
    const boost::asio::ip::address address = boost::asio::ip::make_address(std::string(text), ec);
    if (ec) return std::nullopt;
    if (address.is_v4()) {
        return boost::asio::ip::make_address_v6(boost::asio::ip::v4_mapped, address.to_v4()).to_bytes();
    }
    return address.to_v6().to_bytes();
}

bool IsV4(std::string_view text) { return text.find(':') == std::string_view::npos; }

bool Contains(const AddressRange& range, const std::array<unsigned char, 16>& address) {
    unsigned bits = range.prefixBits;
    for (std::size_t i = 0; i < address.size() && bits > 0; ++i) {
        const unsigned take = bits < 8 ? bits : 8;
        const auto mask = static_cast<unsigned char>(0xff << (8 - take));
        if ((address[i] & mask) != (range.bytes[i] & mask)) return false;
        bits -= take;
    }
    return true;
}

const std::vector<AddressRange>& Loopback() {
    static const std::vector<AddressRange> ranges{*ParseAddressRange("127.0.0.0/8"),
                                                  *ParseAddressRange("::1")};
    return ranges;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<AddressRange> ParseAddressRange(std::string_view text) {
    const std::size_t slash = text.find('/');
    const std::string_view addressText = text.substr(0, slash);
    const std::optional<std::array<unsigned char, 16>> bytes = AddressBytes(addressText);
    if (!bytes) return std::nullopt;
    const bool v4 = IsV4(addressText);
    AddressRange range{*bytes, 128};
    if (slash == std::string_view::npos) return range;
    const std::string_view prefixText = text.substr(slash + 1);
    unsigned prefix = 0;
    const auto [end, error] =
        std::from_chars(prefixText.data(), prefixText.data() + prefixText.size(), prefix);
    if (error != std::errc() || end != prefixText.data() + prefixText.size() || prefixText.empty()) {
        return std::nullopt;
    }
    if (prefix > (v4 ? 32u : 128u)) return std::nullopt;
    range.prefixBits = v4 ? prefix + kMappedPrefixBits : prefix;
    return range;
}

std::vector<AddressRange> ParseAddressRanges(std::string_view list) {
    std::vector<AddressRange> ranges;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view entry = Trimmed(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        if (entry.empty()) continue;
        const std::optional<AddressRange> range = ParseAddressRange(entry);
        if (!range) {
            throw std::invalid_argument("'" + std::string(entry) +
                                        "' is not an IP address or a network such as 192.0.2.0/24");
        }
        ranges.push_back(*range);
    }
    return ranges;
}

bool MayReadMetrics(std::string_view peer, const std::vector<AddressRange>& allowed) {
    const std::optional<std::array<unsigned char, 16>> address = AddressBytes(peer);
    if (!address) return false;
    auto inAny = [&](const std::vector<AddressRange>& ranges) {
        for (const AddressRange& range : ranges) {
            if (Contains(range, *address)) return true;
        }
        return false;
    };
    return inAny(Loopback()) || inAny(allowed);
}

}  // namespace excursa
