#include "announcer/announcer.h"

#include <string.h>

#include "shell/plugin.h"
#include "settings/settings.h"

DdeLink ddeLink;
char announcementText[ANNOUNCEMENT_SIZE];

static const char serviceName[] = "BRELK";
static const char topicName[] = "IRC_COMMAND";

// A client-only instance that skips every notification is never called
// back, but the platform documents the callback as required.
static HDDEDATA CALLBACK ignoreDdeEvent(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

void openDdeLink(void)
{
    ddeLink.instanceId = 0;
    DdeInitializeA(&ddeLink.instanceId, ignoreDdeEvent,
                   APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0);
    ddeLink.serviceHandle = DdeCreateStringHandleA(ddeLink.instanceId, serviceName, CP_WINANSI);
    ddeLink.topicHandle = DdeCreateStringHandleA(ddeLink.instanceId, topicName, CP_WINANSI);
    ddeLink.itemHandle =
        DdeCreateStringHandleA(ddeLink.instanceId, pluginSettings.channel, CP_WINANSI);
    ddeLink.isOpen = 1;
}

static void releaseDdeLink(void)
{
    DdeFreeStringHandle(ddeLink.instanceId, ddeLink.serviceHandle);
    DdeFreeStringHandle(ddeLink.instanceId, ddeLink.topicHandle);
    DdeFreeStringHandle(ddeLink.instanceId, ddeLink.itemHandle);
    DdeUninitialize(ddeLink.instanceId);
}

void announceTitle(void)
{
    if (!pluginSettings.active)
        return;
    if (!ddeLink.isOpen)
        return;

    // The connect and the poke wait in a modal loop that delivers the host's
    // messages, so we can be called again from in there. The link has room
    // for one conversation: note the change and let the running call send
    // the newest title once its own conversation is over.
    if (ddeLink.busy) {
        ddeLink.pending = 1;
        return;
    }
    ddeLink.busy = 1;
    do {
        ddeLink.pending = 0;
        ddeLink.conversation =
            DdeConnect(ddeLink.instanceId, ddeLink.serviceHandle, ddeLink.topicHandle, NULL);
        if (ddeLink.conversation) {
            // A change seen during the connect is in this very poke.
            ddeLink.pending = 0;
            pokeAnnouncement(lastTitle);
            DdeDisconnect(ddeLink.conversation);
        }
    } while (ddeLink.pending && ddeLink.isOpen && pluginSettings.active);
    ddeLink.busy = 0;

    // Quit came while we waited; it left the release to us.
    if (!ddeLink.isOpen)
        releaseDdeLink();
}

void pokeAnnouncement(const char *title)
{
    size_t length;
    DWORD timeout;

    memset(announcementText, 0, sizeof announcementText);
    length = composeAnnouncement(announcementText, sizeof announcementText, pluginSettings.message,
                                 title);

    // All bits set would mean TIMEOUT_ASYNC, whose completion goes to a
    // callback we do not have; no negative value is a wait we can honour.
    timeout = pluginSettings.ddetimeout < 0 ? (DWORD)DEFAULT_DDE_TIMEOUT
                                            : (DWORD)pluginSettings.ddetimeout;

    DdeClientTransaction((LPBYTE)announcementText, (DWORD)(length + 1), ddeLink.conversation,
                         ddeLink.itemHandle, CF_TEXT, XTYP_POKE, timeout, NULL);
}

void rebindChannel(void)
{
    DdeFreeStringHandle(ddeLink.instanceId, ddeLink.itemHandle);
    ddeLink.itemHandle =
        DdeCreateStringHandleA(ddeLink.instanceId, pluginSettings.channel, CP_WINANSI);
}

void closeDdeLink(void)
{
    if (!ddeLink.isOpen)
        return;
    ddeLink.isOpen = 0;
    if (!ddeLink.busy)
        releaseDdeLink();
}

// The template is the user's text, not a format we trust: only "%%" and the
// first string conversion are live, and the title is read as data.
// Everything else, "%d" and "%n" and a second "%s" included, is copied as it
// stands, so no argument beyond the title is ever read.

enum { FIELD_LIMIT = 100000 };

static size_t readCount(const char **p)
{
    size_t count = 0;

    while (**p >= '0' && **p <= '9') {
        if (count < FIELD_LIMIT)
            count = count * 10 + (size_t)(**p - '0');
        ++*p;
    }
    return count;
}

size_t composeAnnouncement(char *text, size_t size, const char *tmpl, const char *title)
{
    size_t length = 0;
    size_t room = size - 1;
    int titleUsed = 0;
    const char *p = tmpl;

#define PUT(c)                                                                                     \
    do {                                                                                           \
        if (length < room)                                                                         \
            text[length++] = (c);                                                                  \
    } while (0)

    while (*p && length < room) {
        const char *q;
        int leftAlign = 0;
        size_t width, precision = (size_t)-1, titleLength = 0, pad;

        if (*p != '%') {
            PUT(*p++);
            continue;
        }
        if (p[1] == '%') {
            PUT('%');
            p += 2;
            continue;
        }
        if (titleUsed) {
            PUT(*p++);
            continue;
        }

        q = p + 1;
        while (*q == '-' || *q == '+' || *q == ' ' || *q == '#' || *q == '0') {
            if (*q == '-')
                leftAlign = 1;
            ++q;
        }
        width = readCount(&q);
        if (*q == '.') {
            ++q;
            precision = readCount(&q);
        }
        if (*q != 's') {
            PUT(*p++);
            continue;
        }

        while (titleLength < precision && title[titleLength])
            ++titleLength;
        pad = width > titleLength ? width - titleLength : 0;
        if (!leftAlign)
            for (; pad > 0 && length < room; --pad)
                PUT(' ');
        for (size_t i = 0; i < titleLength && length < room; ++i)
            PUT(title[i]);
        for (; pad > 0 && length < room; --pad)
            PUT(' ');
        titleUsed = 1;
        p = q + 1;
    }
#undef PUT

    text[length] = 0;
    return length;
}
