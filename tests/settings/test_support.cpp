// Helpers for the settings and language tests: scratch folders, files, environment, ZIP packs.
#include "test_support.h"

#include <algorithm>
#include <dirent.h>
#include <memory>

namespace testsupport {

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return names;
    while (const dirent* item = readdir(dir.get())) {
        const std::string name = item->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void writeZip(const std::string& path, const std::vector<ZipMember>& members) {
    std::unique_ptr<archive, int (*)(archive*)> writer(archive_write_new(), archive_write_free);
    archive_write_set_format_zip(writer.get());
    if (archive_write_open_filename(writer.get(), path.c_str()) != ARCHIVE_OK)
        throw std::runtime_error("cannot create " + path);
    for (const ZipMember& member : members) {
        std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_set_pathname(entry.get(), member.name.c_str());
        archive_entry_set_perm(entry.get(), 0644);
        switch (member.kind) {
        case ZipMember::Kind::File:
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_size(entry.get(), static_cast<la_int64_t>(member.bytes.size()));
            break;
        case ZipMember::Kind::Folder:
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
            archive_entry_set_perm(entry.get(), 0755);
            break;
        case ZipMember::Kind::Symlink:
            archive_entry_set_filetype(entry.get(), AE_IFLNK);
            archive_entry_set_symlink(entry.get(), member.linkTarget.c_str());
            break;
        case ZipMember::Kind::Hardlink:
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_hardlink(entry.get(), member.linkTarget.c_str());
            archive_entry_set_size(entry.get(), 0);
            break;
        }
        if (archive_write_header(writer.get(), entry.get()) < ARCHIVE_WARN)
            throw std::runtime_error(archive_error_string(writer.get()));
        if (member.kind == ZipMember::Kind::File && !member.bytes.empty())
            archive_write_data(writer.get(), member.bytes.data(), member.bytes.size());
    }
    archive_write_close(writer.get());
}

std::string languageFile(const std::string& displayName, const std::vector<std::pair<std::string, std::string>>& texts,
                         const std::string& group) {
    std::string file = "\xEF\xBB\xBF[LANGUAGE FILE]\ntLangFileNAME = " + displayName + "\n[" + group + "]\n";
    for (const auto& [key, text] : texts) file += key + " = " + text + "\n";
    return file;
}

}  // namespace testsupport
