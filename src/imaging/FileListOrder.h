// The order of the folder listing: the user's locale collation (LC_COLLATE from
// the environment) on the case-folded name, so that case never decides the
// order and digits compare as characters (10.jpg before 2.jpg). Names that the
// collation finds equal (a.jpg and A.JPG) fall back to their bytes, so the
// order is total and the same on every run. Bytes that are not UTF-8 collate as
// U+FFFD and are then told apart by the bytes.
#pragma once

#include <locale.h>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

class FileListOrder {
public:
    // The collation named by the environment; C.UTF-8 when that locale is not
    // installed.
    FileListOrder();
    // A named collation, for tests; the environment's when the name is unknown.
    explicit FileListOrder(const char* localeName);
    ~FileListOrder();
    FileListOrder(const FileListOrder&) = delete;
    FileListOrder& operator=(const FileListOrder&) = delete;

    // A key whose comparison is the collation order of the folded name.
    std::wstring key(std::string_view name) const;

    // Sorts the names ascending: one key per name, then one sort.
    void sort(std::vector<std::string>& names) const;

    bool less(std::string_view a, std::string_view b) const;

private:
    locale_t locale_;
};

} // namespace tavo
