#include "pe/version_block.h"

#include "base/byte_order.h"

namespace pe {
namespace {

constexpr size_t kNodeHeaderSize = 6;  // length, value length, type
constexpr size_t kFixedInfoSize = 52;  // VS_FIXEDFILEINFO
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr int kMaxDepth = 8;  // real blocks are four deep

size_t Align4(size_t n) { return (n + 3) & ~size_t{3}; }

// Reads the node at `at` (which lies within bytes); `end` is where it ends.
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
    // A value cut short by its node's end was read as far as it went; with
    // children behind it, it takes its stated room, so that they are found
    // where a reader looks.
    const size_t room = node.type == 1 ? size_t{node.valueLength} * 2 : node.valueLength;
    if (!node.children.empty() && node.value.size() < room)
        out.resize(out.size() + room - node.value.size(), 0);
    for (const VersionNode& child : node.children) {
        out.resize(Align4(out.size()));
        PutNode(child, out);
    }
    WriteLe16(&out[start], static_cast<uint32_t>(out.size() - start));
}

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

VersionNode* VersionNode::Child(const std::u16string& name) {
    for (VersionNode& child : children)
        if (child.key == name) return &child;
    return nullptr;
}

const VersionNode* VersionNode::Child(const std::u16string& name) const {
    for (const VersionNode& child : children)
        if (child.key == name) return &child;
    return nullptr;
}

bool ParseVersionBlock(const std::vector<uint8_t>& bytes, VersionNode& root, std::string& error) {
    root = VersionNode{};
    size_t end = 0;
    if (!ParseNode(bytes, 0, 0, root, end) || root.key != u"VS_VERSION_INFO") {
        error = "the version block is malformed";
        return false;
    }
    return true;
}

std::vector<uint8_t> BuildVersionBlock(const VersionNode& root) {
    std::vector<uint8_t> out;
    PutNode(root, out);
    return out;
}

std::vector<VersionNode>* StringTables(VersionNode& root) {
    VersionNode* info = root.Child(u"StringFileInfo");
    return info == nullptr || info->children.empty() ? nullptr : &info->children;
}

const std::vector<VersionNode>* StringTables(const VersionNode& root) {
    const VersionNode* info = root.Child(u"StringFileInfo");
    return info == nullptr || info->children.empty() ? nullptr : &info->children;
}

uint8_t* FixedFileInfo(VersionNode& root) {
    if (root.value.size() != kFixedInfoSize || ReadLe32(root.value.data()) != kFixedInfoSignature)
        return nullptr;
    return root.value.data();
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

bool SetVersionString(VersionNode& root, const std::u16string& name, const std::u16string& text) {
    std::vector<VersionNode>* tables = StringTables(root);
    if (tables == nullptr) return false;
    for (VersionNode& table : *tables) {
        VersionNode* entry = table.Child(name);
        if (entry == nullptr) {
            table.children.push_back(VersionNode{name, 0, 1, {}, {}});
            entry = &table.children.back();
        }
        SetText(*entry, text);
    }
    return true;
}

}  // namespace pe
