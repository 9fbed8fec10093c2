// The wizard's texts in Russian and in English.
#include "wizard/WizardTexts.h"

namespace setup {
namespace {

constexpr TWizardTexts kRussian = {
    .language = Language::Russian,
    .code = "ru",
    .appTitle = "Setup",

    .label1 = "Мастер установки приложения:",
    .label11 = "Завершите работу всех приложений которые могут помешать установке пакета "
               "программ и нажмите кнопку \"Дальше\" для продолжения.",
    .label3Loading = "Загрузка конфигурации программы установки...",
    .label5 = "Выберите место установки программы",
    .label12 = "Установить в папку:",
    .edit1Design = "C:\\",
    .button4 = "Обзор...",
    .label6 = "Установка компонентов:",
    .label9 = "Установка программы завершена",
    .label10 = "Для завершения работы мастера установки нажмите кнопку \"Выход\"",

    .next = "Дальше >>",
    .back = "<< Назад",
    .cancel = "Отмена",
    .exit = "Выход",

    .desktopShortcut = "Создать ярлык на рабочем столе",
    .forAllUsers = "Для всех пользователей",
    .forMeOnly = "Только для меня",
    .launchProgram = "Запустить %s",

    .captionPrefix = "Установка: ",
    .registering = "Регистрация файлов...",
    .browseTitle = "Выбор места установки:",
    .noTempFolder = "Не удалось создать временную папку для конфигурации программы установки",
    .packageCorrupt = "Файл установки повреждён. Загрузите программу установки заново.",
    .checkingPackage = "Проверка файла установки...",
    .downgradeQuestion =
        "Уже установлена более новая версия программы (%s). Установить версию %s вместо неё?",
    .cancelQuestion = "Прервать установку?",

    .spaceNeeded = "Требуется на диске: ",
    .spaceFree = "Свободно на диске: ",
    .spaceUnknown = "неизвестно",
    .notEnoughSpace = "Недостаточно места на диске для установки.",
    .notEnoughSpaceAdvice = "Выберите другую папку или освободите место на диске.",
    .bytes = "байт",
    .kib = "КБ",
    .mib = "МБ",
    .gib = "ГБ",
    .tib = "ТБ",
    .decimalSeparator = ",",

    .packageMissing = "Не найден пакет установки",
    .badSwitch = "Неизвестный ключ командной строки",
    .allUsersOnly = "Эта программа устанавливается только для всех пользователей компьютера, "
                    "ключ /CURRENTUSER для неё не подходит",
    .currentUserOnly = "Эта программа устанавливается только для текущего пользователя, "
                       "ключ /ALLUSERS для неё не подходит",
    .elevationFailed = "Не удалось получить права администратора",
    .launchFailed = "Не удалось запустить программу",

    .causeNoSpace = "Недостаточно места на диске",
    .causeAccessDenied = "Нет доступа к файлу или папке",
    .causeDamaged = "Пакет установки повреждён",
    .causeWrongPassword = "Неверный пароль пакета установки",
    .causeCannotWrite = "Не удалось создать файл или папку",
    .causeOther = "Ошибка установки",
    .causeBackupFailed = "Не удалось сохранить копию заменяемого файла",

    .uninstallTitle = "Удаление программы",
    .uninstallQuestion = "Удалить программу \"%s\" со всеми её компонентами?",
    .uninstallDone = "Программа \"%s\" удалена.",
    .uninstallKept =
        "Файлы, изменённые или добавленные после установки, оставлены в папке \"%s\".",
    .nothingToUninstall = "Нечего удалять: нет журнала установки",

    .setupUsage =
        "Использование: setup.exe [ключи]\n\n"
        "/SILENT\t\tтолько окно хода установки, без вопросов\n"
        "/VERYSILENT\tбез окон\n"
        "/SUPPRESSMSGBOXES\tна каждый вопрос - ответ по умолчанию, без сообщений "
        "об ошибках (вместе с /SILENT или /VERYSILENT)\n"
        "/DIR=\"папка\"\tпапка установки\n"
        "/NOICONS\t\tбез группы в меню \"Пуск\"\n"
        "/DESKTOP, /NODESKTOP\tсоздать ярлык на рабочем столе или нет\n"
        "/RUN\t\tзапустить программу в конце установки без окон\n"
        "/ALLUSERS\t\tустановить для всех пользователей\n"
        "/CURRENTUSER\tустановить только для себя, без прав администратора\n"
        "/LANG=ru|en\tязык мастера\n"
        "/LOG=\"файл\"\tжурнал установки в UTF-8\n"
        "/?\t\tэта справка\n\n"
        "Коды завершения: 0 - готово, 1 - установка не может начаться, "
        "2 - отменено пользователем, 3 - ошибка установки, "
        "5 - уже установлена более новая версия.",
    .uninstallerUsage =
        "Использование: uninstall.exe [ключи]\n\n"
        "/SILENT\t\tбез вопросов\n"
        "/VERYSILENT\tбез вопросов и без окон\n"
        "/SUPPRESSMSGBOXES\tбез сообщений об ошибках (вместе с /SILENT или /VERYSILENT)\n"
        "/LANG=ru|en\tязык сообщений\n"
        "/LOG=\"файл\"\tжурнал удаления в UTF-8\n"
        "/?\t\tэта справка\n\n"
        "Коды завершения: 0 - программа удалена, 1 - неверный ключ, "
        "2 - удаление отменено, 3 - ошибка, 4 - нечего удалять.",
};

constexpr TWizardTexts kEnglish = {
    .language = Language::English,
    .code = "en",
    .appTitle = "Setup",

    .label1 = "Setup Wizard for:",
    .label11 = "Please close any programs that might interfere with the installation, "
               "then click \"Next\" to continue.",
    .label3Loading = "Loading the setup configuration...",
    .label5 = "Choose where to install the program",
    .label12 = "Destination folder:",
    .edit1Design = "C:\\",
    .button4 = "Browse...",
    .label6 = "Installing:",
    .label9 = "The installation is complete",
    .label10 = "Click \"Finish\" to close the wizard.",

    .next = "Next >>",
    .back = "<< Back",
    .cancel = "Cancel",
    .exit = "Finish",

    .desktopShortcut = "Create a desktop shortcut",
    .forAllUsers = "For all users",
    .forMeOnly = "Just for me",
    .launchProgram = "Launch %s",

    .captionPrefix = "Setup: ",
    .registering = "Registering files...",
    .browseTitle = "Choose the destination folder:",
    .noTempFolder = "Could not create a temporary folder for the setup configuration",
    .packageCorrupt = "The setup file is damaged. Please download the setup program again.",
    .checkingPackage = "Checking the setup file...",
    .downgradeQuestion =
        "A newer version of the program (%s) is already installed. Install version %s instead?",
    .cancelQuestion = "Cancel the installation?",

    .spaceNeeded = "Space required: ",
    .spaceFree = "Space available: ",
    .spaceUnknown = "unknown",
    .notEnoughSpace = "There is not enough disk space for the installation.",
    .notEnoughSpaceAdvice = "Choose another folder or free up some disk space.",
    .bytes = "bytes",
    .kib = "KB",
    .mib = "MB",
    .gib = "GB",
    .tib = "TB",
    .decimalSeparator = ".",

    .packageMissing = "The setup package was not found",
    .badSwitch = "Unknown command-line switch",
    .allUsersOnly = "This program can only be installed for all users of the computer, "
                    "so /CURRENTUSER cannot be used",
    .currentUserOnly = "This program can only be installed for the current user, "
                       "so /ALLUSERS cannot be used",
    .elevationFailed = "Could not obtain administrator rights",
    .launchFailed = "Could not start the program",

    .causeNoSpace = "There is not enough disk space",
    .causeAccessDenied = "Access to the file or folder was denied",
    .causeDamaged = "The setup package is damaged",
    .causeWrongPassword = "The setup package's password is wrong",
    .causeCannotWrite = "Could not create the file or folder",
    .causeOther = "The installation failed",
    .causeBackupFailed = "Could not keep a copy of the file being replaced",

    .uninstallTitle = "Uninstall",
    .uninstallQuestion = "Remove \"%s\" and all of its components?",
    .uninstallDone = "\"%s\" has been removed.",
    .uninstallKept =
        "Files that were changed or added after the installation were left in \"%s\".",
    .nothingToUninstall = "Nothing to uninstall: the installation journal is missing",

    .setupUsage =
        "Usage: setup.exe [switches]\n\n"
        "/SILENT\t\tthe progress window only, no questions\n"
        "/VERYSILENT\tno window at all\n"
        "/SUPPRESSMSGBOXES\tevery question takes its default answer, no error "
        "messages (with /SILENT or /VERYSILENT)\n"
        "/DIR=\"folder\"\tthe destination folder\n"
        "/NOICONS\t\tno Start menu group\n"
        "/DESKTOP, /NODESKTOP\tcreate a desktop shortcut or not\n"
        "/RUN\t\tstart the program after a silent installation\n"
        "/ALLUSERS\t\tinstall for all users\n"
        "/CURRENTUSER\tinstall just for me, without administrator rights\n"
        "/LANG=ru|en\tthe wizard's language\n"
        "/LOG=\"file\"\ta UTF-8 log of the installation\n"
        "/?\t\tthis help\n\n"
        "Exit codes: 0 done, 1 setup cannot start, 2 cancelled by the user, "
        "3 the installation failed, 5 a newer version is installed.",
    .uninstallerUsage =
        "Usage: uninstall.exe [switches]\n\n"
        "/SILENT\t\tno questions\n"
        "/VERYSILENT\tno questions and no windows\n"
        "/SUPPRESSMSGBOXES\tno error messages (with /SILENT or /VERYSILENT)\n"
        "/LANG=ru|en\tthe language of the messages\n"
        "/LOG=\"file\"\ta UTF-8 log of the removal\n"
        "/?\t\tthis help\n\n"
        "Exit codes: 0 removed, 1 wrong switch, 2 cancelled, 3 error, "
        "4 nothing to uninstall.",
};

}  // namespace

const TWizardTexts& TextsFor(Language language) {
  return language == Language::English ? kEnglish : kRussian;
}

}  // namespace setup
