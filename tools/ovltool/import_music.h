// Music import for the "music.s3m" entry: any module format the player plays (S3M,
// IT, XM, MOD, ...), stored unchanged.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Reads the module at sourcePath into *entryBytes (byte for byte). *report gets its
// format, orders, length and which scenes its orders reach. False with a one-line
// reason in *error when the player cannot load it or it is larger than 1 MiB.
bool ImportMusic(const std::string& sourcePath, std::vector<uint8_t>* entryBytes, std::string* report,
                 std::string* error);
