// Every text of the wizard that people read, in one table, written as
// UTF-8. The window shows them through the wide API, so they read correctly
// whatever the machine's ANSI code page is.
#pragma once

#include <string_view>

namespace setup::texts {

// Title of the application and of its error boxes; also the form's design
// caption until start-up replaces it.
inline constexpr std::string_view kAppTitle = "Setup";

// Design captions of the form.
inline constexpr std::string_view kLabel1 = "Мастер установки приложения:";
inline constexpr std::string_view kLabel11 =
    "Завершите работу всех приложений которые могут помешать установке пакета программ и "
    "нажмите кнопку \"Дальше\" для продолжения.";
inline constexpr std::string_view kLabel3Loading = "Загрузка конфигурации программы установки...";
inline constexpr std::string_view kLabel5 = "Выберите место установки программы";
inline constexpr std::string_view kLabel12 = "Установить в папку:";
inline constexpr std::string_view kEdit1Design = "C:\\";
inline constexpr std::string_view kButton4 = "Обзор...";
inline constexpr std::string_view kLabel6 = "Установка компонентов:";
inline constexpr std::string_view kLabel9 = "Установка программы завершена";
inline constexpr std::string_view kLabel10 =
    "Для завершения работы мастера установки нажмите кнопку \"Выход\"";

// Buttons of the bottom band.
inline constexpr std::string_view kNext = "Дальше >>";
inline constexpr std::string_view kBack = "<< Назад";
inline constexpr std::string_view kCancel = "Отмена";
inline constexpr std::string_view kExit = "Выход";

// Set at run time.
inline constexpr std::string_view kCaptionPrefix = "Установка: ";
inline constexpr std::string_view kRegistering = "Регистрация файлов...";

// Title of the folder dialog.
inline constexpr std::string_view kBrowseTitle = "Выбор места установки:";

// The private temporary folder for the configuration could not be made.
inline constexpr std::string_view kNoTempFolder =
    "Не удалось создать временную папку для конфигурации программы установки";

// The question of "Отмена" (Esc, the close box) while the install runs.
inline constexpr std::string_view kCancelQuestion = "Прервать установку?";

// The two lines under the folder field (Label13, Label14), each followed
// by a size; the free space of a drive that cannot be asked is unknown.
inline constexpr std::string_view kSpaceNeeded = "Требуется на диске: ";
inline constexpr std::string_view kSpaceFree = "Свободно на диске: ";
inline constexpr std::string_view kSpaceUnknown = "неизвестно";
// "Дальше >>" with too little space: this, the two sizes, the advice.
inline constexpr std::string_view kNotEnoughSpace = "Недостаточно места на диске для установки.";
inline constexpr std::string_view kNotEnoughSpaceAdvice =
    "Выберите другую папку или освободите место на диске.";

// Setup cannot start; each is followed by ": "name"."
inline constexpr std::string_view kPackageMissing = "Не найден пакет установки";
inline constexpr std::string_view kBadSwitch = "Неизвестный ключ командной строки";

// Causes of a failed install (InstallErrors.h), each followed by the entry
// or file and, on the next line, the engine's own message.
inline constexpr std::string_view kCauseNoSpace = "Недостаточно места на диске";
inline constexpr std::string_view kCauseAccessDenied = "Нет доступа к файлу или папке";
inline constexpr std::string_view kCauseDamaged = "Пакет установки повреждён";
inline constexpr std::string_view kCauseWrongPassword = "Неверный пароль пакета установки";
inline constexpr std::string_view kCauseCannotWrite = "Не удалось создать файл или папку";
inline constexpr std::string_view kCauseOther = "Ошибка установки";
// A file the install would replace could not be saved for the rollback.
inline constexpr std::string_view kBackupFailed = "Не удалось сохранить копию заменяемого файла";

// The uninstaller: the title of its boxes; the question and the two
// reports take the product's name, the last one its folder.
inline constexpr std::string_view kUninstallTitle = "Удаление программы";
inline constexpr std::string_view kUninstallQuestion = "Удалить программу \"%s\" со всеми её компонентами?";
inline constexpr std::string_view kUninstallDone = "Программа \"%s\" удалена.";
inline constexpr std::string_view kUninstallKept =
    "Файлы, изменённые или добавленные после установки, оставлены в папке \"%s\".";
// No journal beside the uninstaller; followed by ": "path"."
inline constexpr std::string_view kNothingToUninstall = "Нечего удалять: нет журнала установки";

}  // namespace setup::texts
