#include "settings/settings.h"

#include <string.h>

PluginSettings pluginSettings;
char settingsPath[SETTINGS_PATH_SIZE];

static const char fileName[] = "gen_brelk.ini";
static const char section[] = "brelk";
static const char defaultChannel[] = "active";
static const char defaultMessage[] = "/me is listening to %s on Winamp";

void locateSettingsFile(HINSTANCE module)
{
    DWORD length = GetModuleFileNameA(module, settingsPath, sizeof settingsPath);
    char *name;

    // A full buffer means the path was cut (and, on old systems, left
    // unterminated). A cut path could name some other file: use none.
    if (length >= sizeof settingsPath) {
        memset(settingsPath, 0, sizeof settingsPath);
        return;
    }
    settingsPath[length] = 0;

    name = strrchr(settingsPath, '\\');
    name = name ? name + 1 : settingsPath;
    if ((size_t)(name - settingsPath) + sizeof fileName > sizeof settingsPath) {
        memset(settingsPath, 0, sizeof settingsPath);
        return;
    }
    memcpy(name, fileName, sizeof fileName);
}

static void readText(const char *key, const char *fallback, char *value, DWORD size)
{
    if (settingsPath[0]) {
        GetPrivateProfileStringA(section, key, fallback, value, size, settingsPath);
        return;
    }
    memset(value, 0, size);
    strncpy(value, fallback, size - 1);
}

static int readNumber(const char *key, int fallback)
{
    if (!settingsPath[0])
        return fallback;
    return (int)GetPrivateProfileIntA(section, key, fallback, settingsPath);
}

void loadSettings(void)
{
    readText("channel", defaultChannel, pluginSettings.channel, sizeof pluginSettings.channel);
    readText("message", defaultMessage, pluginSettings.message, sizeof pluginSettings.message);
    pluginSettings.active = readNumber("active", 0);
    pluginSettings.ddetimeout = readNumber("ddetimeout", 3000);
}

// "%d" by hand: the only number we write, and the C library's formatter
// would pull a floating-point printf into the module. buffer holds 16 bytes.
static void formatDecimal(char *buffer, int value)
{
    char digits[12];
    int count = 0;
    unsigned magnitude = value < 0 ? 0u - (unsigned)value : (unsigned)value;

    do {
        digits[count++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0)
        *buffer++ = '-';
    while (count)
        *buffer++ = digits[--count];
    *buffer = 0;
}

void saveSettings(void)
{
    char number[16];

    if (!settingsPath[0])
        return;
    WritePrivateProfileStringA(section, "message", pluginSettings.message, settingsPath);
    WritePrivateProfileStringA(section, "channel", pluginSettings.channel, settingsPath);
    WritePrivateProfileStringA(section, "active", pluginSettings.active ? "1" : "0", settingsPath);
    formatDecimal(number, pluginSettings.ddetimeout);
    WritePrivateProfileStringA(section, "ddetimeout", number, settingsPath);
}
