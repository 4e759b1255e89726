#include "ui/Lang.h"

#include "base/Text.h"

int CurLang = 2;
std::u16string EmptyFieldsMsg;

namespace {

constexpr size_t MaxValueLength = 255;

// Key 10 is the web site's root page in the Russian and Ukrainian sections and
// its English home page in the others.
// Every line of the Polish section but its last ends in U+000B (its empty line
// is that one character): the lookups trim it away.
const char16_t* const Table[] = {
    u"[lang0]",
    u"Name=Russian",
    u"Id=1049",
    u"",
    u"1=Пожалуйста, напишите нам почему вы удаляете %s",
    u"2=Папка удаления:",
    u"3=Отмена",
    u"4=Удалить",
    u"5=Пропустить",
    u"6=Деинсталяция %s",
    u"7=Отправить",
    u"8=Вы не заполнили поле e-mail-адреса или текст сообщения.",
    u"9=Продолжить",
    u"10=http://quillmoor.example/",
    u"11=Посетить сайт проекта (quillmoor.example)",
    u"",
    u"[#lang1]",
    u"Name=Ukrainian",
    u"Id=1058",
    u"",
    u"1=Напишіть нам чому ви видаляєте %s",
    u"2=Папку видалення:",
    u"3=Скасувати",
    u"4=Видалити",
    u"5=Пропустити",
    u"6=Деінсталяція %s",
    u"7=Відправити",
    u"8=Ви не заповнили поле ел. адреса або текст повідомлення, будь-ласка заповніть.",
    u"9=Продовжити",
    u"10=http://quillmoor.example/",
    u"11=Посетить сайт проекта (quillmoor.example)",
    u"",
    u"[#lang2]",
    u"Name=English",
    u"Id=1033",
    u"",
    u"1=Please, tell us why you are uninstalling the %s",
    u"2=Folder to delete:",
    u"3=Cancel",
    u"4=Delete",
    u"5=Skip",
    u"6=%s Uninstalling",
    u"7=Send",
    u"8=You did not fill the e-mail address or message body.",
    u"9=Continue",
    u"10=http://quillmoor.example/en/home/",
    u"11=Visit Quillmoor web-site",
    u"",
    u"[#lang3]",
    u"Name=Dutch",
    u"Id=1043",
    u"",
    u"1=Vertel ons alstublieft waarom u %s wilt verwijderen",
    u"2=Map met te verwijderen bestanden:",
    u"3=Annuleren",
    u"4=Verwijderen",
    u"5=Overslaan",
    u"6=%s de-installeren",
    u"7=Verzenden",
    u"8=U heeft het e-mailadres of de hoofdtekst van het bericht niet ingevuld.",
    u"9=Doorgaan",
    u"10=http://quillmoor.example/en/home/",
    u"11=Bezoek Quillmoor's website (quillmoor.example)",
    u"",
    u"[#lang4]\v",
    u"Name=Polish\v",
    u"Id=1045\v",
    u"\v",
    u"1=Proszę, napisz dlaczego chcesz odinstalować %s\v",
    u"2=Folder do usunięcia:\v",
    u"3=Anuluj\v",
    u"4=Usuń\v",
    u"5=Pomiń\v",
    u"6=Deinstalacja %s\v",
    u"7=Wyślij\v",
    u"8=Nie wypełniłeś pola adresu e-mail lub pola wiadomości tekstowej.\v",
    u"9=Kontynuuj\v",
    u"10=http://quillmoor.example/en/home/\v",
    u"11=Odwiedź stronę Quillmoor",
};
static_assert(sizeof(Table) / sizeof(Table[0]) == 79, "the language table has 79 lines");

}  // namespace

TStrings LanguageTableLines() { return TStrings(std::begin(Table), std::end(Table)); }

std::u16string LineKey(std::u16string_view line) {
  const std::u16string t = Trim(line);
  const size_t eq = t.find(u'=');
  return eq == std::u16string::npos ? std::u16string() : Trim(std::u16string_view(t).substr(0, eq));
}

std::u16string LineValue(std::u16string_view line) {
  const std::u16string t = Trim(line);
  const size_t eq = t.find(u'=');
  const size_t from = eq == std::u16string::npos ? 0 : eq + 1;
  return Trim(std::u16string_view(t).substr(from, MaxValueLength));
}

std::u16string GetLangValue(const TStrings& table, int index, std::u16string_view key) {
  const std::u16string header = u"[#lang" + IntToText(index) + u"]";
  size_t start = 0;
  for (size_t i = 0; i < table.size(); ++i) {
    if (Trim(table[i]) == header) {
      start = i;
      break;
    }
  }
  const std::u16string wanted = Trim(key);
  for (size_t i = start; i < table.size(); ++i)
    if (LineKey(table[i]) == wanted) return LineValue(table[i]);
  return std::u16string();
}

int LangIndexFromLangId(std::uint16_t langId) {
  switch (langId) {
    case 1049:
      return 0;
    case 1058:
      return 1;
    case 1033:
      return 2;
    case 1043:
      return 3;
    case 1045:
      return 4;
    default:
      return 2;
  }
}
