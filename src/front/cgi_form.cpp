#include "front/cgi_form_list.h"
#include "vxrt/vx_path.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {
cgiFormEntry *g_form_first;
cgiFormEntry *g_form_last;
}  // namespace

cgiFormEntry *cgi_form_entry_new()
{
    auto *entry = static_cast<cgiFormEntry *>(calloc(1, sizeof(cgiFormEntry)));
    if (entry == nullptr)
        return nullptr;
    entry->attr = strdup("");
    entry->value = strdup("");
    entry->fileName = strdup("");
    entry->contentType = strdup("");
    entry->tfileName = strdup("");
    if (!entry->attr || !entry->value || !entry->fileName || !entry->contentType || !entry->tfileName) {
        cgi_form_entry_free(entry, false);
        return nullptr;
    }
    return entry;
}

void cgi_form_entry_free(cgiFormEntry *entry, bool delete_file)
{
    if (entry == nullptr)
        return;
    if (delete_file && entry->tfileName != nullptr && entry->tfileName[0] != '\0')
        unlink(vx_path(entry->tfileName).c_str());
    free(entry->attr);
    free(entry->value);
    free(entry->fileName);
    free(entry->contentType);
    free(entry->tfileName);
    free(entry);
}

void cgi_form_list_append(cgiFormEntry *entry)
{
    entry->next = nullptr;
    if (g_form_last != nullptr)
        g_form_last->next = entry;
    else
        g_form_first = entry;
    g_form_last = entry;
}

cgiFormEntry *cgi_form_list_first()
{
    return g_form_first;
}

cgiFormEntry *cgiFormEntryFindFirst(const char *name)
{
    if (name == nullptr)
        return nullptr;
    for (cgiFormEntry *e = g_form_first; e != nullptr; e = e->next) {
        if (strcmp(e->attr, name) == 0)
            return e;
    }
    return nullptr;
}

cgiFormResultType cgiFormFileName(const char *name, char *buffer, int size)
{
    const cgiFormEntry *entry = cgiFormEntryFindFirst(name);
    if (buffer != nullptr && size > 0)
        buffer[0] = '\0';
    if (entry == nullptr)
        return cgiFormNotFound;
    if (entry->fileName[0] == '\0')
        return cgiFormNoFileName;
    if (buffer == nullptr || size <= 0)
        return cgiFormTruncated;
    size_t length = strlen(entry->fileName);
    size_t room = static_cast<size_t>(size) - 1;
    size_t copied = length < room ? length : room;
    memcpy(buffer, entry->fileName, copied);
    buffer[copied] = '\0';
    return copied < length ? cgiFormTruncated : cgiFormSuccess;
}

void cgiFreeResources()
{
    cgiFormEntry *entry = g_form_first;
    while (entry != nullptr) {
        cgiFormEntry *next = entry->next;
        cgi_form_entry_free(entry, true);
        entry = next;
    }
    g_form_first = nullptr;
    g_form_last = nullptr;
}
