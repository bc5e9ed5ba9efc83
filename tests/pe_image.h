// Just enough of the PE format to check a built module: its machine, its
// exports and imports, and its resources.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeImage {
    std::vector<uint8_t> bytes;
    uint16_t machine = 0;
    uint16_t characteristics = 0;
    uint32_t timeDateStamp = 0;
    bool plus = false; // PE32+
    struct Section {
        uint32_t address, size, rawOffset, rawSize;
    };
    std::vector<Section> sections;
    uint32_t directoryAddress[16] = {}, directorySize[16] = {};

    // The bytes at a relative virtual address, or null when they are not in the file.
    const uint8_t *at(uint32_t rva, size_t length) const;
};

struct Resource {
    bool namedType, namedName;
    uint32_t type, name, language;
    std::vector<uint8_t> data;
};

// Each returns false, with a reason, for a file it cannot read.
bool loadPe(const std::string &path, PeImage *image, std::string *error);
bool exportNames(const PeImage &image, std::vector<std::string> *names, std::string *error);
bool importModules(const PeImage &image, std::vector<std::string> *modules, std::string *error);
bool resources(const PeImage &image, std::vector<Resource> *out, std::string *error);
