// Every text of the wizard that people read, in one table, written as
// UTF-8. The window shows them through the wide API, so they read correctly
// whatever the machine's ANSI code page is. The spelling is the product's
// own and is kept as it is.
#pragma once

#include <string_view>

namespace setup::texts {

// Title of the application and of its error boxes; also the form's design
// caption until start-up replaces it.
inline constexpr std::string_view kAppTitle = "Setup";

// Design captions of the form.
inline constexpr std::string_view kLabel1 = "Мастер установки приложения:";
inline constexpr std::string_view kLabel11 =
    "Завершите работу всех приложений каторые могут помешать установки пакета программ и "
    "нажмите кнопку \"Дальше\" для продолжения.";
inline constexpr std::string_view kLabel3Loading = "Загрузка конфигурации программы установки...";
inline constexpr std::string_view kLabel5 = "Выберите место установки программы";
inline constexpr std::string_view kLabel12 = "Установить в папку:";
inline constexpr std::string_view kEdit1Design = "C:\\";
inline constexpr std::string_view kButton4 = "Обзор...";
inline constexpr std::string_view kLabel6 = "Установка компонентов:";
inline constexpr std::string_view kLabel9 = "Установка программы завершена";
inline constexpr std::string_view kLabel10 =
    "Для завершении работы мастера установки нахмите кнопку \"Выход\"";

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

}  // namespace setup::texts
