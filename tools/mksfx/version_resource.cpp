#include "version_resource.h"

#include <cstring>

#include "pe_image.h"
#include "utf16.h"

namespace mksfx {
namespace {

constexpr size_t kNodeHeaderSize = 6;  // length, value length, type
constexpr size_t kFixedInfoSize = 52;  // VS_FIXEDFILEINFO
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr int kMaxDepth = 8;  // real blocks are four deep

size_t Align4(size_t n) { return (n + 3) & ~size_t{3}; }

bool ParseNode(const std::vector<uint8_t>& bytes, size_t at, int depth, VersionNode& node, size_t& end) {
    if (depth > kMaxDepth || bytes.size() - at < kNodeHeaderSize) return false;
    const size_t length = ReadLe16(&bytes[at]);
    if (length < kNodeHeaderSize || bytes.size() - at < length) return false;
    end = at + length;
    node.valueLength = ReadLe16(&bytes[at + 2]);
    node.type = ReadLe16(&bytes[at + 4]);
    size_t p = at + kNodeHeaderSize;
    for (;; p += 2) {
        if (end - p < 2) return false;
        const char16_t c = ReadLe16(&bytes[p]);
        if (c == 0) break;
        node.key += c;
    }
    p = Align4(p + 2);
    if (p > end) p = end;  // a leaf with neither padding nor value
    const size_t valueSize = node.type == 1 ? size_t{node.valueLength} * 2 : node.valueLength;
    const size_t valueEnd = end - p < valueSize ? end : p + valueSize;
    node.value.assign(bytes.begin() + static_cast<ptrdiff_t>(p),
                      bytes.begin() + static_cast<ptrdiff_t>(valueEnd));
    for (p = Align4(valueEnd); p < end; p = Align4(p)) {
        VersionNode child;
        size_t childEnd = 0;
        if (!ParseNode(bytes, p, depth + 1, child, childEnd) || childEnd > end) return false;
        node.children.push_back(std::move(child));
        p = childEnd;
    }
    return true;
}

void PutNode(const VersionNode& node, std::vector<uint8_t>& out) {
    const size_t start = out.size();
    out.resize(start + kNodeHeaderSize);
    WriteLe16(&out[start + 2], node.valueLength);
    WriteLe16(&out[start + 4], node.type);
    for (const char16_t c : node.key) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    out.resize(Align4(out.size() + 2));
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) {
        out.resize(Align4(out.size()));
        PutNode(child, out);
    }
    WriteLe16(&out[start], static_cast<uint16_t>(out.size() - start));
}

std::u16string Wide(const char* ascii) { return std::u16string(ascii, ascii + std::strlen(ascii)); }

void SetText(VersionNode& node, const std::u16string& text) {
    node.type = 1;
    node.valueLength = static_cast<uint16_t>(text.size() + 1);
    node.value.clear();
    for (const char16_t c : text) {
        node.value.push_back(static_cast<uint8_t>(c));
        node.value.push_back(static_cast<uint8_t>(c >> 8));
    }
    node.value.insert(node.value.end(), {0, 0});
}

}  // namespace

const char* const kVersionStringNames[12] = {
    "Comments",     "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
    "PrivateBuild", "ProductName",    "ProductVersion",  "SpecialBuild",
};

const char* CanonicalVersionName(const std::string& name) {
    for (const char* known : kVersionStringNames) {
        if (name.size() != std::strlen(known)) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; i++) same = (name[i] | 0x20) == (known[i] | 0x20);
        if (same) return known;
    }
    return nullptr;
}

bool ParseVersionNumber(const std::string& text, uint32_t& high, uint32_t& low) {
    uint32_t parts[4] = {0, 0, 0, 0};
    size_t at = 0;
    int count = 0;
    while (count < 4 && at < text.size() && text[at] >= '0' && text[at] <= '9') {
        uint32_t value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            value = value * 10 + static_cast<uint32_t>(text[at++] - '0');
            if (value > 0xFFFF) return false;
        }
        parts[count++] = value;
        if (at + 1 < text.size() && text[at] == '.' && text[at + 1] >= '0' && text[at + 1] <= '9')
            at++;
        else
            break;
    }
    if (count == 0 || (at < text.size() && (text[at] == '.' || (text[at] >= '0' && text[at] <= '9'))))
        return false;
    high = parts[0] << 16 | parts[1];
    low = parts[2] << 16 | parts[3];
    return true;
}

VersionNode* VersionNode::Child(const std::u16string& name) {
    for (VersionNode& child : children)
        if (child.key == name) return &child;
    return nullptr;
}

bool ParseVersionResource(const std::vector<uint8_t>& bytes, VersionNode& root, std::string& error) {
    root = VersionNode{};
    size_t end = 0;
    if (!ParseNode(bytes, 0, 0, root, end) || root.key != u"VS_VERSION_INFO") {
        error = "the module's version block is malformed";
        return false;
    }
    return true;
}

std::vector<uint8_t> BuildVersionResource(const VersionNode& root) {
    std::vector<uint8_t> out;
    PutNode(root, out);
    return out;
}

std::u16string VersionText(const VersionNode& node) {
    std::u16string text;
    for (size_t i = 0; i + 1 < node.value.size(); i += 2) {
        const char16_t c = ReadLe16(&node.value[i]);
        if (c == 0) break;
        text += c;
    }
    return text;
}

bool SetVersionStrings(VersionNode& root, const std::vector<std::pair<std::string, std::string>>& strings,
                       std::string& error) {
    VersionNode* info = root.Child(u"StringFileInfo");
    if (info == nullptr || info->children.empty()) {
        error = "the module's version block has no string table";
        return false;
    }
    if (root.value.size() != kFixedInfoSize || ReadLe32(root.value.data()) != kFixedInfoSignature) {
        error = "the module's version block has no fixed file info";
        return false;
    }
    for (const auto& [name, value] : strings) {
        std::u16string text;
        if (!pack::Utf8ToUtf16(value, text) || text.size() >= 0x7FF0) {
            error = "--version " + name + ": not valid UTF-8, or too long";
            return false;
        }
        for (VersionNode& table : info->children) {
            VersionNode* entry = table.Child(Wide(name.c_str()));
            if (entry == nullptr) {
                table.children.push_back(VersionNode{Wide(name.c_str()), 0, 1, {}, {}});
                entry = &table.children.back();
            }
            SetText(*entry, text);
        }
        uint32_t high = 0, low = 0;
        const size_t field = name == "FileVersion" ? 8 : name == "ProductVersion" ? 16 : 0;
        if (field != 0 && ParseVersionNumber(value, high, low)) {
            WriteLe32(&root.value[field], high);
            WriteLe32(&root.value[field + 4], low);
        }
    }
    return true;
}

}  // namespace mksfx
