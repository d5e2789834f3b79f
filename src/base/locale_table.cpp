#include "base/locale_table.h"

namespace qv {

namespace {

const TLanguageNames kEnglish{
    {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
     "November", "December"},
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
    {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
    {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}};

const TLanguageNames kGerman{
    {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
     "November", "Dezember"},
    {"Jan", "Feb", "Mrz", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
    {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
    {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"}};

const TLanguageNames kFrench{
    {"janvier", "février", "mars", "avril", "mai", "juin", "juillet", "août", "septembre", "octobre",
     "novembre", "décembre"},
    {"janv.", "févr.", "mars", "avr.", "mai", "juin", "juil.", "août", "sept.", "oct.", "nov.", "déc."},
    {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"},
    {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."}};

const TLanguageNames kSpanish{
    {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre", "octubre",
     "noviembre", "diciembre"},
    {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov", "dic"},
    {"domingo", "lunes", "martes", "miércoles", "jueves", "viernes", "sábado"},
    {"dom", "lun", "mar", "mié", "jue", "vie", "sáb"}};

const TLanguageNames kItalian{
    {"gennaio", "febbraio", "marzo", "aprile", "maggio", "giugno", "luglio", "agosto", "settembre",
     "ottobre", "novembre", "dicembre"},
    {"gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov", "dic"},
    {"domenica", "lunedì", "martedì", "mercoledì", "giovedì", "venerdì", "sabato"},
    {"dom", "lun", "mar", "mer", "gio", "ven", "sab"}};

const TLanguageNames kDutch{
    {"januari", "februari", "maart", "april", "mei", "juni", "juli", "augustus", "september", "oktober",
     "november", "december"},
    {"jan", "feb", "mrt", "apr", "mei", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
    {"zondag", "maandag", "dinsdag", "woensdag", "donderdag", "vrijdag", "zaterdag"},
    {"zo", "ma", "di", "wo", "do", "vr", "za"}};

const TLanguageNames kPortuguese{
    {"janeiro", "fevereiro", "março", "abril", "maio", "junho", "julho", "agosto", "setembro", "outubro",
     "novembro", "dezembro"},
    {"jan", "fev", "mar", "abr", "mai", "jun", "jul", "ago", "set", "out", "nov", "dez"},
    {"domingo", "segunda-feira", "terça-feira", "quarta-feira", "quinta-feira", "sexta-feira", "sábado"},
    {"dom", "seg", "ter", "qua", "qui", "sex", "sáb"}};

const TLanguageNames kDanish{
    {"januar", "februar", "marts", "april", "maj", "juni", "juli", "august", "september", "oktober",
     "november", "december"},
    {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
    {"søndag", "mandag", "tirsdag", "onsdag", "torsdag", "fredag", "lørdag"},
    {"sø", "ma", "ti", "on", "to", "fr", "lø"}};

const TLanguageNames kNorwegian{
    {"januar", "februar", "mars", "april", "mai", "juni", "juli", "august", "september", "oktober",
     "november", "desember"},
    {"jan", "feb", "mar", "apr", "mai", "jun", "jul", "aug", "sep", "okt", "nov", "des"},
    {"søndag", "mandag", "tirsdag", "onsdag", "torsdag", "fredag", "lørdag"},
    {"sø", "ma", "ti", "on", "to", "fr", "lø"}};

const TLanguageNames kSwedish{
    {"januari", "februari", "mars", "april", "maj", "juni", "juli", "augusti", "september", "oktober",
     "november", "december"},
    {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
    {"söndag", "måndag", "tisdag", "onsdag", "torsdag", "fredag", "lördag"},
    {"sö", "må", "ti", "on", "to", "fr", "lö"}};

const TLanguageNames kFinnish{
    {"tammikuu", "helmikuu", "maaliskuu", "huhtikuu", "toukokuu", "kesäkuu", "heinäkuu", "elokuu",
     "syyskuu", "lokakuu", "marraskuu", "joulukuu"},
    {"tammi", "helmi", "maalis", "huhti", "touko", "kesä", "heinä", "elo", "syys", "loka", "marras", "joulu"},
    {"sunnuntai", "maanantai", "tiistai", "keskiviikko", "torstai", "perjantai", "lauantai"},
    {"su", "ma", "ti", "ke", "to", "pe", "la"}};

const TLanguageNames kPolish{
    {"styczeń", "luty", "marzec", "kwiecień", "maj", "czerwiec", "lipiec", "sierpień", "wrzesień",
     "październik", "listopad", "grudzień"},
    {"sty", "lut", "mar", "kwi", "maj", "cze", "lip", "sie", "wrz", "paź", "lis", "gru"},
    {"niedziela", "poniedziałek", "wtorek", "środa", "czwartek", "piątek", "sobota"},
    {"N", "Pn", "Wt", "Śr", "Cz", "Pt", "So"}};

const TLanguageNames kCzech{
    {"leden", "únor", "březen", "duben", "květen", "červen", "červenec", "srpen", "září", "říjen",
     "listopad", "prosinec"},
    {"I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X", "XI", "XII"},
    {"neděle", "pondělí", "úterý", "středa", "čtvrtek", "pátek", "sobota"},
    {"ne", "po", "út", "st", "čt", "pá", "so"}};

const TLanguageNames kHungarian{
    {"január", "február", "március", "április", "május", "június", "július", "augusztus", "szeptember",
     "október", "november", "december"},
    {"jan.", "febr.", "márc.", "ápr.", "máj.", "jún.", "júl.", "aug.", "szept.", "okt.", "nov.", "dec."},
    {"vasárnap", "hétfő", "kedd", "szerda", "csütörtök", "péntek", "szombat"},
    {"V", "H", "K", "Sze", "Cs", "P", "Szo"}};

const TLanguageNames kRussian{
    {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь", "Октябрь",
     "Ноябрь", "Декабрь"},
    {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"},
    {"воскресенье", "понедельник", "вторник", "среда", "четверг", "пятница", "суббота"},
    {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"}};

const TLanguageNames kJapanese{
    {"1月", "2月", "3月", "4月", "5月", "6月", "7月", "8月", "9月", "10月", "11月", "12月"},
    {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"},
    {"日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日"},
    {"日", "月", "火", "水", "木", "金", "土"}};

// Ascending by LCID. Columns: LCID, abbreviation, ISO 639, ISO 3166, English language and
// country, native language and country, ANSI code page, thousand, decimal and date separators,
// short and long date, time separator, leading zero, 12-hour clock, AM/PM first, AM, PM, list
// separator, currency, currency format, negative currency format, currency decimals, names.
const TLocaleInfo kLocales[] = {
    {0x0405, "CSY", "cs", "CZ", "Czech", "Czech Republic", "čeština", "Česká republika", 1250, ' ', ',', '.',
     "d.m.yyyy", "d. mmmm yyyy", ':', false, false, false, "dop.", "odp.", ';', "Kč", 3, 8, 2, &kCzech},
    {0x0406, "DAN", "da", "DK", "Danish", "Denmark", "dansk", "Danmark", 1252, '.', ',', '-', "dd-mm-yyyy",
     "d. mmmm yyyy", ':', true, false, false, "", "", ';', "kr", 2, 12, 2, &kDanish},
    {0x0407, "DEU", "de", "DE", "German", "Germany", "Deutsch", "Deutschland", 1252, '.', ',', '.', "dd.mm.yyyy",
     "dddd, d. mmmm yyyy", ':', true, false, false, "", "", ';', "€", 3, 8, 2, &kGerman},
    {0x0409, "ENU", "en", "US", "English", "United States", "English", "United States", 1252, ',', '.', '/',
     "m/d/yyyy", "dddd, mmmm dd, yyyy", ':', false, true, false, "AM", "PM", ',', "$", 0, 0, 2, &kEnglish},
    {0x040A, "ESP", "es", "ES", "Spanish", "Spain", "español", "España", 1252, '.', ',', '/', "dd/mm/yyyy",
     "dddd, dd' de 'mmmm' de 'yyyy", ':', false, false, false, "", "", ';', "€", 3, 8, 2, &kSpanish},
    {0x040B, "FIN", "fi", "FI", "Finnish", "Finland", "suomi", "Suomi", 1252, ' ', ',', '.', "d.m.yyyy",
     "d. mmmm'ta 'yyyy", ':', false, false, false, "", "", ';', "€", 3, 8, 2, &kFinnish},
    {0x040C, "FRA", "fr", "FR", "French", "France", "français", "France", 1252, ' ', ',', '/', "dd/mm/yyyy",
     "dddd d mmmm yyyy", ':', true, false, false, "", "", ';', "€", 3, 8, 2, &kFrench},
    {0x040E, "HUN", "hu", "HU", "Hungarian", "Hungary", "magyar", "Magyarország", 1250, ' ', ',', '.',
     "yyyy.mm.dd.", "yyyy. mmmm d.", ':', false, false, false, "de.", "du.", ';', "Ft", 3, 8, 2, &kHungarian},
    {0x0410, "ITA", "it", "IT", "Italian", "Italy", "italiano", "Italia", 1252, '.', ',', '/', "dd/mm/yyyy",
     "dddd d mmmm yyyy", '.', false, false, false, "", "", ';', "€", 2, 9, 2, &kItalian},
    {0x0411, "JPN", "ja", "JP", "Japanese", "Japan", "日本語", "日本", 932, ',', '.', '/', "yyyy/mm/dd",
     "yyyy'年'm'月'd'日'", ':', false, false, false, "午前", "午後", ',', "¥", 0, 1, 0, &kJapanese},
    {0x0413, "NLD", "nl", "NL", "Dutch", "Netherlands", "Nederlands", "Nederland", 1252, '.', ',', '-',
     "d-m-yyyy", "dddd d mmmm yyyy", ':', false, false, false, "", "", ';', "€", 2, 12, 2, &kDutch},
    {0x0414, "NOR", "no", "NO", "Norwegian (Bokmål)", "Norway", "norsk (bokmål)", "Norge", 1252, ' ', ',', '.',
     "dd.mm.yyyy", "d. mmmm yyyy", ':', true, false, false, "", "", ';', "kr", 2, 12, 2, &kNorwegian},
    {0x0415, "PLK", "pl", "PL", "Polish", "Poland", "polski", "Polska", 1250, ' ', ',', '-', "yyyy-mm-dd",
     "d mmmm yyyy", ':', true, false, false, "", "", ';', "zł", 3, 8, 2, &kPolish},
    {0x0416, "PTB", "pt", "BR", "Portuguese", "Brazil", "português", "Brasil", 1252, '.', ',', '/', "d/m/yyyy",
     "dddd, d' de 'mmmm' de 'yyyy", ':', false, false, false, "", "", ';', "R$", 2, 9, 2, &kPortuguese},
    {0x0419, "RUS", "ru", "RU", "Russian", "Russia", "русский", "Россия", 1251, ' ', ',', '.', "dd.mm.yyyy",
     "d mmmm yyyy 'г.'", ':', false, false, false, "", "", ';', "р.", 1, 5, 2, &kRussian},
    {0x041D, "SVE", "sv", "SE", "Swedish", "Sweden", "svenska", "Sverige", 1252, '.', ',', '-', "yyyy-mm-dd",
     "'den 'd mmmm yyyy", ':', true, false, false, "", "", ';', "kr", 3, 8, 2, &kSwedish},
    {0x0807, "DES", "de", "CH", "German", "Switzerland", "Deutsch", "Schweiz", 1252, '\'', '.', '.', "dd.mm.yyyy",
     "dddd, d. mmmm yyyy", ':', true, false, false, "", "", ';', "SFr.", 2, 2, 2, &kGerman},
    {0x0809, "ENG", "en", "GB", "English", "United Kingdom", "English", "United Kingdom", 1252, ',', '.', '/',
     "dd/mm/yyyy", "dd mmmm yyyy", ':', true, false, false, "AM", "PM", ',', "£", 0, 1, 2, &kEnglish},
    {0x080A, "ESM", "es", "MX", "Spanish", "Mexico", "español", "México", 1252, ',', '.', '/', "dd/mm/yyyy",
     "dddd, dd' de 'mmmm' de 'yyyy", ':', true, true, false, "a.m.", "p.m.", ',', "$", 0, 1, 2, &kSpanish},
    {0x080C, "FRB", "fr", "BE", "French", "Belgium", "français", "Belgique", 1252, '.', ',', '/', "dd/mm/yyyy",
     "dddd d mmmm yyyy", ':', true, false, false, "", "", ';', "€", 3, 8, 2, &kFrench},
    {0x0810, "ITS", "it", "CH", "Italian", "Switzerland", "italiano", "Svizzera", 1252, '\'', '.', '.',
     "dd.mm.yyyy", "dddd, d. mmmm yyyy", ':', true, false, false, "", "", ';', "SFr.", 2, 2, 2, &kItalian},
    {0x0813, "NLB", "nl", "BE", "Dutch", "Belgium", "Nederlands", "België", 1252, '.', ',', '/', "d/mm/yyyy",
     "dddd d mmmm yyyy", ':', false, false, false, "", "", ';', "€", 3, 8, 2, &kDutch},
    {0x0816, "PTG", "pt", "PT", "Portuguese", "Portugal", "português", "Portugal", 1252, '.', ',', '-',
     "dd-mm-yyyy", "dddd, d' de 'mmmm' de 'yyyy", ':', false, false, false, "", "", ';', "€", 3, 8, 2,
     &kPortuguese},
    {0x0C07, "DEA", "de", "AT", "German", "Austria", "Deutsch", "Österreich", 1252, '.', ',', '.', "dd.mm.yyyy",
     "dddd, dd. mmmm yyyy", ':', true, false, false, "", "", ';', "€", 2, 9, 2, &kGerman},
    {0x0C09, "ENA", "en", "AU", "English", "Australia", "English", "Australia", 1252, ',', '.', '/', "d/mm/yyyy",
     "dddd, d mmmm yyyy", ':', false, true, false, "AM", "PM", ',', "$", 0, 1, 2, &kEnglish},
    {0x0C0A, "ESN", "es", "ES", "Spanish", "Spain", "español", "España", 1252, '.', ',', '/', "dd/mm/yyyy",
     "dddd, dd' de 'mmmm' de 'yyyy", ':', false, false, false, "", "", ';', "€", 3, 8, 2, &kSpanish},
    {0x0C0C, "FRC", "fr", "CA", "French", "Canada", "français", "Canada", 1252, ' ', ',', '-', "yyyy-mm-dd",
     "d mmmm yyyy", ':', true, false, false, "", "", ';', "$", 3, 15, 2, &kFrench},
    {0x1007, "DEL", "de", "LU", "German", "Luxembourg", "Deutsch", "Luxemburg", 1252, '.', ',', '.', "dd.mm.yyyy",
     "dddd, d. mmmm yyyy", ':', true, false, false, "", "", ';', "€", 3, 8, 2, &kGerman},
    {0x1009, "ENC", "en", "CA", "English", "Canada", "English", "Canada", 1252, ',', '.', '/', "dd/mm/yyyy",
     "mmmm d, yyyy", ':', false, true, false, "AM", "PM", ',', "$", 0, 1, 2, &kEnglish},
    {0x100C, "FRS", "fr", "CH", "French", "Switzerland", "français", "Suisse", 1252, '\'', '.', '.', "dd.mm.yyyy",
     "dddd, d. mmmm yyyy", ':', true, false, false, "", "", ';', "SFr.", 2, 2, 2, &kFrench},
    {0x1407, "DEC", "de", "LI", "German", "Liechtenstein", "Deutsch", "Liechtenstein", 1252, '\'', '.', '.',
     "dd.mm.yyyy", "dddd, d. mmmm yyyy", ':', true, false, false, "", "", ';', "CHF", 2, 2, 2, &kGerman},
    {0x1409, "ENZ", "en", "NZ", "English", "New Zealand", "English", "New Zealand", 1252, ',', '.', '/',
     "d/mm/yyyy", "dddd, d mmmm yyyy", ':', false, true, false, "a.m.", "p.m.", ',', "$", 0, 1, 2, &kEnglish},
    {0x140C, "FRL", "fr", "LU", "French", "Luxembourg", "français", "Luxembourg", 1252, ' ', ',', '/',
     "dd/mm/yyyy", "dddd d mmmm yyyy", ':', true, false, false, "", "", ';', "€", 3, 8, 2, &kFrench},
    {0x1809, "ENI", "en", "IE", "English", "Ireland", "English", "Ireland", 1252, ',', '.', '/', "dd/mm/yyyy",
     "dd mmmm yyyy", ':', true, false, false, "", "", ',', "€", 0, 1, 2, &kEnglish},
};

}  // namespace

std::span<const TLocaleInfo> LocaleTable() { return kLocales; }

const TLocaleInfo* FindLocaleInfo(uint32_t lcid) {
  for (const TLocaleInfo& info : kLocales) {
    if (info.Lcid == lcid) return &info;
  }
  if (SubLangId(lcid) != 0) return nullptr;
  // The default locale of a language has sub-language 1, the lowest in the table.
  const TLocaleInfo* best = nullptr;
  for (const TLocaleInfo& info : kLocales) {
    if (PrimaryLangId(info.Lcid) == lcid && (!best || SubLangId(info.Lcid) < SubLangId(best->Lcid))) best = &info;
  }
  return best;
}

}  // namespace qv
