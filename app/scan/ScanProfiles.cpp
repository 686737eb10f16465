#include "ScanProfiles.h"

QStringList ScanProfiles::Names() const
{
    return {};
}

std::optional<ScanProfile> ScanProfiles::Find(const QString &) const
{
    return std::nullopt;
}

void ScanProfiles::Save(const QString &, const ScanProfile &) {}

void ScanProfiles::Delete(const QString &) {}
