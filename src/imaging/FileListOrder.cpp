#include "imaging/FileListOrder.h"

#include "imaging/FileListText.h"

#include <algorithm>
#include <numeric>
#include <wchar.h>

namespace tavo {

namespace {

constexpr locale_t kNoLocale = static_cast<locale_t>(nullptr);

locale_t collationLocale(const char* name)
{
    for (const char* candidate : {name, "", "C.UTF-8", "C"}) {
        if (candidate == nullptr)
            continue;
        if (const locale_t l = newlocale(LC_COLLATE_MASK, candidate, kNoLocale); l != kNoLocale)
            return l;
    }
    return kNoLocale;
}

} // namespace

FileListOrder::FileListOrder() : locale_(collationLocale(nullptr)) {}

FileListOrder::FileListOrder(const char* localeName) : locale_(collationLocale(localeName)) {}

FileListOrder::~FileListOrder()
{
    if (locale_ != kNoLocale)
        freelocale(locale_);
}

std::wstring FileListOrder::key(std::string_view name) const
{
    std::u32string folded;
    foldName(name, folded);
    std::wstring source;
    source.reserve(folded.size());
    for (const char32_t c : folded)
        source.push_back(static_cast<wchar_t>(isStrayByte(c) ? U'\uFFFD' : c));
    if (locale_ == kNoLocale)
        return source;

    // glibc's keys are a few weights per character; one retry covers longer ones.
    std::wstring result(source.size() * 4 + 16, L'\0');
    constexpr auto failed = static_cast<std::size_t>(-1);
    std::size_t length = wcsxfrm_l(result.data(), source.c_str(), result.size(), locale_);
    if (length != failed && length >= result.size()) {
        result.assign(length + 1, L'\0');
        length = wcsxfrm_l(result.data(), source.c_str(), result.size(), locale_);
    }
    if (length == failed || length >= result.size())
        return source;
    result.resize(length);
    return result;
}

void FileListOrder::sort(std::vector<std::string>& names) const
{
    std::vector<std::wstring> keys;
    keys.reserve(names.size());
    for (const auto& name : names)
        keys.push_back(key(name));
    std::vector<std::size_t> order(names.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (const int c = keys[a].compare(keys[b]); c != 0)
            return c < 0;
        return names[a] < names[b];
    });
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (const std::size_t i : order)
        sorted.push_back(std::move(names[i]));
    names = std::move(sorted);
}

bool FileListOrder::less(std::string_view a, std::string_view b) const
{
    if (const int c = key(a).compare(key(b)); c != 0)
        return c < 0;
    return a < b;
}

} // namespace tavo
