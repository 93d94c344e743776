#pragma once

#include <string>
#include <string_view>

namespace vantorel {

// The program's own names on the web. They stay under the reserved domain ".example" until the
// service has a domain of its own: a name we do not own would send users' passwords to a stranger.

// The service host: the default of both hosts of "parameters.xml", and the host of the fixed
// pages below.
inline constexpr const char *kDefaultServiceHost = "www.vantorel.example";

// Fixed pages of the service host; they never come from "parameters.xml".
inline constexpr const char *kRegisterPage = "/register.php";
inline constexpr const char *kHomePage = "/";
inline constexpr const char *kFAQPage = "/faq.php";

// The guest WAP host of the service: addresses on it are shown as they are.
inline constexpr const char *kGuestWapHost = "wap.vantorel.example";
// The WAP host for account holders.
inline constexpr const char *kWapHost = "m.vantorel.example";

// Where a newer version's setup file is offered.
inline constexpr const char *kSetupFileAddress = "http://www.vantorel.example/download/vantorel-setup.tar.gz";

// "http://" + the service host + a page that begins with "/".
inline std::string ServicePageAddress(std::string_view page)
{
    return std::string("http://") + kDefaultServiceHost + std::string(page);
}

} // namespace vantorel
