#include "core/texts.h"

#include "core/app_state.h"
#include "core/texts_english.h"
#include "core/texts_japanese.h"

namespace {

constexpr int kTextCount = static_cast<int>(Text::Count);

// A table holds every text once, in the order of Text: a text missing from one language
// (or one out of place) stops the build.
template <int N>
constexpr bool holdsEveryTextInOrder(const TextRow (&rows)[N]) {
    if (N != kTextCount) return false;
    for (int i = 0; i < N; ++i) {
        if (static_cast<int>(rows[i].id) != i || rows[i].text == nullptr) return false;
    }
    return true;
}
static_assert(holdsEveryTextInOrder(kJapaneseTexts), "the Japanese table lacks a text, or has one out of order");
static_assert(holdsEveryTextInOrder(kEnglishTexts), "the English table lacks a text, or has one out of order");

}  // namespace

const char* textIn(Language language, Text id) {
    const int index = static_cast<int>(id);
    if (index < 0 || index >= kTextCount) return "";
    return (language == Language::English ? kEnglishTexts : kJapaneseTexts)[index].text;
}

const char* uiText(Text id) { return textIn(app.language, id); }

Language languageOfSetting(int setting, LANGID userLanguage) {
    if (setting == 1) return Language::Japanese;
    if (setting == 2) return Language::English;
    return PRIMARYLANGID(userLanguage) == LANG_JAPANESE ? Language::Japanese : Language::English;
}

LANGID resourceLanguage(Language language) {
    return language == Language::English ? MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)
                                         : MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
}
