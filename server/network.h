#pragma once
// The network a client address belongs to, as the throttles count it: an IPv4
// /24 or an IPv6 /64 (one home or office line usually has one). An IPv4
// address written as IPv6 (::ffff:a.b.c.d) counts as IPv4.
#include <string>

namespace wycserver {

// "203.0.113.0/24", "2001:db8:1:2::/64"; a text that is no address names a
// network of its own.
std::string networkOf(const std::string& address);

} // namespace wycserver
