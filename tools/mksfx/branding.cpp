#include "branding.h"

#include "pe/icon_group.h"
#include "pe/resource_editor.h"
#include "pe/version_block.h"
#include "version_strings.h"

namespace mksfx {
namespace {

bool BrandVersions(pe::ResourceTree& tree, const Branding& branding, std::string& error) {
    pe::ResourceType* versions = tree.Find(pe::kVersionType);
    if (versions == nullptr || tree.FirstItem(pe::kVersionType) == nullptr) {
        error = "the module has no version block";
        return false;
    }
    for (pe::ResourceEntry& entry : versions->entries) {
        for (pe::ResourceItem& item : entry.languages) {
            pe::VersionNode root;
            if (!pe::ParseVersionBlock(item.data, root, error)) {
                error = "the module's version block is malformed";
                return false;
            }
            if (!SetVersionStrings(root, branding.version, error)) return false;
            item.data = pe::BuildVersionBlock(root);
            if (item.data.size() > 0xFFFF) {
                error = "the version block would be larger than 64 KiB";
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool ApplyBranding(std::vector<uint8_t>& image, const Branding& branding, std::string& error) {
    pe::ResourceTree tree;
    if (!pe::ReadEditableResources(image, tree, error)) return false;
    if (!branding.icon.empty() && !pe::ReplaceMainIcon(tree, branding.icon, error)) return false;
    if (!branding.version.empty() && !BrandVersions(tree, branding, error)) return false;
    return pe::WriteResources(image, tree, error);
}

}  // namespace mksfx
