#include "pe_image.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace
{

uint16_t u16(const uint8_t *p)
{
    return (uint16_t)(p[0] | p[1] << 8);
}

uint32_t u32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

bool cString(const PeImage &image, uint32_t rva, std::string *out)
{
    out->clear();
    for (;;) {
        const uint8_t *p = image.at(rva++, 1);
        if (!p)
            return false;
        if (!*p)
            return true;
        out->push_back((char)*p);
    }
}

} // namespace

const uint8_t *PeImage::at(uint32_t rva, size_t length) const
{
    for (const Section &s : sections) {
        if (rva >= s.address && rva - s.address + length <= s.rawSize) {
            size_t offset = s.rawOffset + (rva - s.address);
            if (offset + length <= bytes.size())
                return bytes.data() + offset;
        }
    }
    return nullptr;
}

bool loadPe(const std::string &path, PeImage *image, std::string *error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path;
        return false;
    }
    image->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const std::vector<uint8_t> &b = image->bytes;
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') {
        *error = "no MZ header";
        return false;
    }
    uint32_t pe = u32(&b[0x3C]);
    if (pe + 24 > b.size() || std::memcmp(&b[pe], "PE\0\0", 4) != 0) {
        *error = "no PE signature";
        return false;
    }
    const uint8_t *coff = &b[pe + 4];
    image->machine = u16(coff);
    uint16_t sectionCount = u16(coff + 2);
    image->timeDateStamp = u32(coff + 4);
    uint16_t optionalSize = u16(coff + 16);
    image->characteristics = u16(coff + 18);
    size_t optional = pe + 24;
    if (optional + optionalSize > b.size() || optionalSize < 2) {
        *error = "short optional header";
        return false;
    }
    uint16_t magic = u16(&b[optional]);
    image->plus = magic == 0x20B;
    size_t directories = optional + (image->plus ? 112 : 96);
    uint32_t directoryCount = u32(&b[directories - 4]);
    for (uint32_t i = 0; i < directoryCount && i < 16; ++i) {
        if (directories + 8 * i + 8 > optional + optionalSize)
            break;
        image->directoryAddress[i] = u32(&b[directories + 8 * i]);
        image->directorySize[i] = u32(&b[directories + 8 * i + 4]);
    }
    size_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        size_t s = table + 40 * i;
        if (s + 40 > b.size()) {
            *error = "short section table";
            return false;
        }
        image->sections.push_back(
            {u32(&b[s + 12]), u32(&b[s + 8]), u32(&b[s + 20]), u32(&b[s + 16])});
    }
    return true;
}

bool exportNames(const PeImage &image, std::vector<std::string> *names, std::string *error)
{
    names->clear();
    if (!image.directoryAddress[0])
        return true;
    const uint8_t *dir = image.at(image.directoryAddress[0], 40);
    if (!dir) {
        *error = "export directory outside the file";
        return false;
    }
    uint32_t count = u32(dir + 24), table = u32(dir + 32);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *entry = image.at(table + 4 * i, 4);
        std::string name;
        if (!entry || !cString(image, u32(entry), &name)) {
            *error = "export name outside the file";
            return false;
        }
        names->push_back(name);
    }
    // Exports by ordinal alone would not show among the names.
    if (u32(dir + 20) != count) {
        *error = "an export without a name";
        return false;
    }
    return true;
}

bool importModules(const PeImage &image, std::vector<std::string> *modules, std::string *error)
{
    modules->clear();
    for (uint32_t rva = image.directoryAddress[1];; rva += 20) {
        const uint8_t *d = image.at(rva, 20);
        if (!d) {
            *error = "import directory outside the file";
            return false;
        }
        if (u32(d + 12) == 0 && u32(d + 16) == 0)
            break;
        std::string name;
        if (!cString(image, u32(d + 12), &name)) {
            *error = "import name outside the file";
            return false;
        }
        modules->push_back(name);
    }
    // Modules loaded late are imports too.
    if (image.directoryAddress[13]) {
        *error = "delay-load imports";
        return false;
    }
    return true;
}

namespace
{

bool walk(const PeImage &image, uint32_t base, uint32_t offset, int level, Resource current,
          std::vector<Resource> *out, std::string *error)
{
    const uint8_t *dir = image.at(base + offset, 16);
    if (!dir || level > 2) {
        *error = "resource directory outside the file";
        return false;
    }
    unsigned entries = u16(dir + 12) + u16(dir + 14);
    for (unsigned i = 0; i < entries; ++i) {
        const uint8_t *e = image.at(base + offset + 16 + 8 * i, 8);
        if (!e) {
            *error = "resource entry outside the file";
            return false;
        }
        uint32_t id = u32(e), target = u32(e + 4);
        bool named = id & 0x80000000u;
        Resource r = current;
        if (level == 0) {
            r.namedType = named;
            r.type = id & 0x7FFFFFFF;
        } else if (level == 1) {
            r.namedName = named;
            r.name = id & 0x7FFFFFFF;
        } else {
            r.language = id;
        }
        if (target & 0x80000000u) {
            if (!walk(image, base, target & 0x7FFFFFFF, level + 1, r, out, error))
                return false;
            continue;
        }
        const uint8_t *leaf = image.at(base + target, 16);
        const uint8_t *data = leaf ? image.at(u32(leaf), u32(leaf + 4)) : nullptr;
        if (level != 2 || !data) {
            *error = "resource data outside the file";
            return false;
        }
        r.data.assign(data, data + u32(leaf + 4));
        out->push_back(r);
    }
    return true;
}

} // namespace

bool resources(const PeImage &image, std::vector<Resource> *out, std::string *error)
{
    out->clear();
    if (!image.directoryAddress[2])
        return true;
    return walk(image, image.directoryAddress[2], 0, 0, Resource{}, out, error);
}
