// `pemmo doctor`: a few plain lines on what Pemmo would start with — the data folder, the settings
// file, the address book folders, the records and the keyring — for a user who wonders why.
#pragma once

#include <QStringList>
#include <cstdio>

namespace pemmo::DoctorCommand {

int run(const QStringList& arguments, std::FILE* out, std::FILE* err);

} // namespace pemmo::DoctorCommand
