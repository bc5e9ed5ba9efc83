// The DDE client that pokes one line per change of title to the IRC client.
#pragma once

#include <stddef.h>
#include <windows.h>

struct DdeLink {
    DWORD instanceId;
    HSZ serviceHandle;
    HSZ topicHandle;
    HSZ itemHandle;
    HCONV conversation;
    int isOpen;  // from openDdeLink until closeDdeLink: the handles may be used
    int busy;    // an announcement is under way further up the stack
    int pending; // the title changed while that announcement waited
};

enum { ANNOUNCEMENT_SIZE = 256, DEFAULT_DDE_TIMEOUT = 3000 };

extern DdeLink ddeLink;
extern char announcementText[ANNOUNCEMENT_SIZE];

void openDdeLink(void);
void announceTitle(void);
void pokeAnnouncement(const char *title);
void rebindChannel(void);
void closeDdeLink(void);

// Fills template into text (size bytes, size > 0) with title for its first
// string conversion; returns the length of the zero-terminated result.
size_t composeAnnouncement(char *text, size_t size, const char *tmpl, const char *title);
