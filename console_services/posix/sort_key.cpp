// Sort keys for the name list, built with ICU.  See sort_key.h for the
// layout of a key.
#include "sort_key.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// The ASCII symbols in the order Windows' word sort gives them, all before
// the digits.  The ones Windows does not allow in a file name (" * / : < >
// ? \ |) can only come from a POSIX folder; they get their Windows place
// too, so every ASCII symbol has a fixed rank.  Hyphen and apostrophe are
// missing on purpose: they never reach the collator (see MARK_SIZE).
constexpr char WINDOWS_SYMBOL_ORDER[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

// Each hyphen or apostrophe adds this many bytes to the end of a key.
constexpr std::size_t MARK_SIZE = 4;

// Byte positions above this share one mark value; names that long do not
// exist on either platform.
constexpr std::uint32_t LAST_MARK_POSITION = 0x7FFFFFFF;

bool is_mark(char c)
{
    return c == '-' || c == '\'';
}

// The locale part of a setting such as "sv_SE.UTF-8@euro": "sv_SE".
std::string locale_part(const char *setting)
{
    std::string locale(setting);
    std::size_t end = locale.find_first_of(".@");
    if (end != std::string::npos)
        locale.erase(end);
    return locale;
}

// The tailoring appended to the locale's rules: the symbols, one rank each,
// placed just before the digit zero.  Each symbol is quoted, which in the
// rule syntax makes any character but the apostrophe literal.
std::u16string windows_symbol_tailoring()
{
    std::u16string rules = u"&[before 1]0";
    for (const char *symbol = WINDOWS_SYMBOL_ORDER; *symbol != '\0'; symbol++) {
        rules += u" < '";
        rules += static_cast<char16_t>(static_cast<unsigned char>(*symbol));
        rules += u"'";
    }
    return rules;
}

// The locale's own tailoring rules; empty for root, and for a locale ICU
// does not know (it then opens root anyway).
std::u16string rules_of_locale(const std::string &locale)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open(locale.c_str(), &status);
    if (U_FAILURE(status))
        return std::u16string();
    int32_t length = 0;
    const UChar *rules = ucol_getRules(collator, &length);
    std::u16string copy;
    try {
        copy.assign(rules, static_cast<std::size_t>(length));
    } catch (...) {
        ucol_close(collator);
        throw;
    }
    ucol_close(collator);
    return copy;
}

// Case blind, accents kept, punctuation compared like letters, digits one
// by one.  Set explicitly because a locale's rules may switch any of these
// (a case level, for one, would make case count again).
void set_name_attributes(UCollator *collator, UErrorCode *status)
{
    ucol_setStrength(collator, UCOL_SECONDARY);
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, status);
    ucol_setAttribute(collator, UCOL_CASE_LEVEL, UCOL_OFF, status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, status);
}

UCollator *open_with_rules(const std::u16string &rules)
{
    UParseError parse_error;
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_openRules(rules.data(), static_cast<int32_t>(rules.size()),
                                         UCOL_DEFAULT, UCOL_SECONDARY, &parse_error, &status);
    if (U_FAILURE(status))
        return nullptr;
    set_name_attributes(collator, &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    return collator;
}

// Converts the name to UTF-16 into text, drops its hyphens and apostrophes
// and returns the length left.  Both marks are ASCII, and ASCII bytes never
// belong to an invalid sequence, so they map one to one to U+002D and
// U+0027.
std::size_t text_without_marks(const char *name, std::size_t length, std::vector<char16_t> &text)
{
    // ICU takes 32-bit lengths; a longer name is collated by its start.
    int32_t source_length = static_cast<int32_t>(length < INT32_MAX ? length : INT32_MAX);
    // UTF-16 never needs more units than UTF-8 has bytes.
    if (text.size() < static_cast<std::size_t>(source_length) + 1)
        text.resize(static_cast<std::size_t>(source_length) + 1);

    int32_t converted = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(text.data(), static_cast<int32_t>(text.size()), &converted, name,
                         source_length, 0xFFFD, nullptr, &status);
    if (U_FAILURE(status))
        return 0;

    std::size_t kept = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(converted); i++) {
        if (text[i] != u'-' && text[i] != u'\'')
            text[kept++] = text[i];
    }
    return kept;
}

// Writes ICU's key for text at the start of key and returns its length,
// including the NUL that ends it.  ICU keys hold no other NUL, so no
// stage-1 key is a prefix of another and the marks after it cannot change
// the order stage 1 gives.
std::size_t write_collation_key(UCollator *collator, const std::vector<char16_t> &text,
                                std::size_t text_length, std::vector<std::uint8_t> &key)
{
    if (key.size() < 256)
        key.resize(256);
    int32_t source_length = static_cast<int32_t>(text_length);
    auto capacity = [&key] { return static_cast<int32_t>(key.size() < INT32_MAX ? key.size() : INT32_MAX); };
    int32_t needed = ucol_getSortKey(collator, text.data(), source_length, key.data(), capacity());
    if (needed > capacity()) {
        key.resize(static_cast<std::size_t>(needed));
        needed = ucol_getSortKey(collator, text.data(), source_length, key.data(), capacity());
    }
    return needed > 0 ? static_cast<std::size_t>(needed) : 0;
}

// A mark as a big-endian number: a later position gives a smaller number,
// and at one position the apostrophe (0) comes before the hyphen (1).  All
// marks have the same width, so a name that runs out of marks has a key
// that is a prefix of the other's and comes first.
void write_mark(std::uint8_t *out, std::size_t position, char mark)
{
    std::uint32_t capped = position < LAST_MARK_POSITION ? static_cast<std::uint32_t>(position) : LAST_MARK_POSITION;
    std::uint32_t value = ((LAST_MARK_POSITION - capped) << 1) | (mark == '-' ? 1u : 0u);
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

// Appends the marks of name after the stage-1 key; returns the full length.
std::size_t append_marks(const char *name, std::size_t length, std::vector<std::uint8_t> &key,
                         std::size_t key_length)
{
    std::size_t marks = 0;
    for (std::size_t i = 0; i < length; i++)
        marks += is_mark(name[i]) ? 1 : 0;
    if (key.size() < key_length + marks * MARK_SIZE)
        key.resize(key_length + marks * MARK_SIZE);

    for (std::size_t i = 0; i < length; i++) {
        if (is_mark(name[i])) {
            write_mark(key.data() + key_length, i, name[i]);
            key_length += MARK_SIZE;
        }
    }
    return key_length;
}

} // namespace

std::string collation_locale_from_environment()
{
    const char *setting = nullptr;
    for (const char *variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        setting = std::getenv(variable);
        if (setting != nullptr && *setting != '\0')
            break;
        setting = nullptr;
    }
    if (setting == nullptr)
        return std::string();
    std::string locale = locale_part(setting);
    if (locale == "C" || locale == "POSIX")
        return std::string();
    return locale;
}

UCollator *open_name_collator(const std::string &locale)
{
    std::u16string tailoring = windows_symbol_tailoring();
    std::u16string locale_rules = rules_of_locale(locale);
    UCollator *collator = nullptr;
    if (!locale_rules.empty())
        collator = open_with_rules(locale_rules + tailoring);
    // A locale's rules that cannot take the tailoring still leave the
    // Windows symbol order on root, which is closer than no order at all.
    if (collator == nullptr)
        collator = open_with_rules(tailoring);
    return collator;
}

void close_name_collator(UCollator *collator)
{
    ucol_close(collator);
}

std::size_t build_sort_key(UCollator *collator, const char *name, SortKeyScratch &scratch)
{
    std::size_t length = std::strlen(name);
    std::size_t text_length = text_without_marks(name, length, scratch.text);
    std::size_t key_length = write_collation_key(collator, scratch.text, text_length, scratch.key);
    return append_marks(name, length, scratch.key, key_length);
}

int compare_sort_keys(const std::uint8_t *a, std::size_t a_length,
                      const std::uint8_t *b, std::size_t b_length)
{
    std::size_t common = a_length < b_length ? a_length : b_length;
    int result = common == 0 ? 0 : std::memcmp(a, b, common);
    if (result != 0)
        return result;
    return a_length < b_length ? -1 : (a_length > b_length ? 1 : 0);
}
