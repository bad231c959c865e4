#pragma once

// The product's names, as they appear in titles, settings and messages.
namespace Product {
// The window caption and the settings section.
inline constexpr const char* Title = "Thinwick";
// The application name under which the settings are stored.
inline constexpr const char* SettingsApp = "Brindlewood";
inline constexpr const char* SettingsSection = "Thinwick";
} // namespace Product

// The vendor's addresses, named in messages and opened now and then at start-up.
namespace Vendor {
inline constexpr const char* HomePage = "https://www.brindlewood.example/";
inline constexpr const char* ContactPage = "https://www.brindlewood.example/contact";
inline constexpr const char* SupportEmail = "support@brindlewood.example";
} // namespace Vendor
