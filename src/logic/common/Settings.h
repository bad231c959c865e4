#pragma once

#include <QString>

namespace Main {

// The per-user store of named string values, addressed by application name, section and key.
// Values come back exactly as they were written. Reading never creates anything.
QString getSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue);
// Stores the text, replacing an earlier value; throws Failure when the store cannot be written,
// in which case the earlier value stays.
void saveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& value);

} // namespace Main
