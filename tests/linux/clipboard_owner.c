/* The tests' own X11 clipboard client, written apart from the helper's code so that the two do
   not share a mistake.

     clipboard_owner own KIND   owns CLIPBOARD, prints what it offers (as dump prints it), then
                                "ready"; serves until another client takes CLIPBOARD, then prints
                                "lost" and exits. KIND is "full" (text, HTML, an image, numbers
                                and a target large enough to go incrementally), "secret" (a
                                password manager's copy), "silent" (answers nothing), "refusing"
                                (lists targets, converts none), or "text:WORDS" (WORDS as text).
     clipboard_owner dump       prints the owner's process ("owner PID", "owner none", or "owner
                                changing" when another took CLIPBOARD meanwhile), the targets it
                                lists ("targets A B ..."), and for each data target a line "NAME
                                TYPE FORMAT SIZE HASH" (FNV-1a 64 of the bytes).
     clipboard_owner text       prints UTF8_STRING's size and hash, or "none".
     clipboard_owner clear      leaves CLIPBOARD without an owner.
     clipboard_owner owner      prints "owner PID" only, without asking the owner anything (0 for
                                none, -1 for a window that names no process).

   Every wait is bounded (5 s), so a test never hangs on it. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define WAIT_MS 5000
#define PART 100000

typedef struct {
    const char* target;
    const char* type;
    int format;
    unsigned char* bytes;
    size_t size;
} Offer;

static Display* display;
static Window window;
static Atom clipboard, targets_atom, timestamp_atom, incr_atom, multiple_atom;
static Offer offers[16];
static int offer_count;

static uint64_t fnv(const unsigned char* bytes, size_t size) {
    uint64_t hash = 1469598103934665603ULL;
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ULL;
    }
    return hash;
}

static Atom atom(const char* name) {
    return XInternAtom(display, name, False);
}

static void add(const char* target, const char* type, int format, const void* bytes, size_t size) {
    Offer* offer = &offers[offer_count++];
    offer->target = target;
    offer->type = type;
    offer->format = format;
    offer->bytes = malloc(size ? size : 1);
    memcpy(offer->bytes, bytes, size);
    offer->size = size;
}

static void add_text(const char* target, const char* type, const char* text) {
    add(target, type, 8, text, strlen(text));
}

/* Deterministic bytes, different for each seed. */
static void add_pattern(const char* target, const char* type, size_t size, uint32_t seed) {
    unsigned char* bytes = malloc(size);
    uint32_t state = seed;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = (unsigned char)(state >> 24);
    }
    if (size >= 8 && strcmp(type, "image/png") == 0) {
        memcpy(bytes, "\x89PNG\r\n\x1a\n", 8);
    }
    add(target, type, 8, bytes, size);
    free(bytes);
}

static int wait_event(XEvent* event, Bool (*match)(Display*, XEvent*, XPointer), XPointer arg) {
    for (int waited = 0; waited < WAIT_MS; waited += 50) {
        if (XCheckIfEvent(display, event, match, arg)) {
            return 1;
        }
        struct pollfd socket = {ConnectionNumber(display), POLLIN, 0};
        poll(&socket, 1, 50);
    }
    return 0;
}

static Bool is_property_of_window(Display* d, XEvent* e, XPointer arg) {
    (void)d;
    return e->type == PropertyNotify && e->xproperty.window == window &&
           e->xproperty.atom == *(Atom*)arg;
}

static Time server_time(void) {
    Atom stamp = atom("CLIPBOARD_OWNER_TIME");
    XChangeProperty(display, window, stamp, XA_STRING, 8, PropModeAppend, NULL, 0);
    XEvent event;
    return wait_event(&event, is_property_of_window, (XPointer)&stamp) ? event.xproperty.time
                                                                       : CurrentTime;
}

static void print_line(FILE* out, const char* target, const char* type, int format,
                       const unsigned char* b, size_t size) {
    fprintf(out, "%s %s %d %zu %016llx\n", target, type, format, size,
            (unsigned long long)fnv(b, size));
}

/* --- owning --- */

typedef struct {
    Window requestor;
    Atom property;
    const Offer* offer;
    size_t offset;
    int active;
} Transfer;
static Transfer transfers[8];

/* Items of format 32 travel as longs through Xlib. */
static void put(Window to, Atom property, const Offer* offer, size_t offset, size_t size) {
    if (offer->format == 32) {
        long items[64];
        size_t count = size / 4;
        for (size_t i = 0; i < count && i < 64; ++i) {
            uint32_t item;
            memcpy(&item, offer->bytes + offset + i * 4, 4);
            items[i] = (long)item;
        }
        XChangeProperty(display, to, property, atom(offer->type), 32, PropModeReplace,
                        (unsigned char*)items, (int)count);
        return;
    }
    XChangeProperty(display, to, property, atom(offer->type), 8, PropModeReplace,
                    offer->bytes + offset, (int)size);
}

static void answer(const XSelectionRequestEvent* request, const char* kind) {
    Atom property = request->property == None ? request->target : request->property;
    int given = 0;
    if (strcmp(kind, "silent") == 0) {
        return;
    }
    if (request->target == targets_atom) {
        long list[18];
        int count = 0;
        list[count++] = (long)targets_atom;
        list[count++] = (long)timestamp_atom;
        for (int i = 0; i < offer_count; ++i) {
            list[count++] = (long)atom(offers[i].target);
        }
        XChangeProperty(display, request->requestor, property, XA_ATOM, 32, PropModeReplace,
                        (unsigned char*)list, count);
        given = 1;
    } else if (strcmp(kind, "refusing") != 0) {
        for (int i = 0; i < offer_count; ++i) {
            const Offer* offer = &offers[i];
            if (atom(offer->target) != request->target) {
                continue;
            }
            if (offer->size > 4 * PART) {
                for (int t = 0; t < 8; ++t) {
                    if (!transfers[t].active) {
                        transfers[t] = (Transfer){request->requestor, property, offer, 0, 1};
                        break;
                    }
                }
                XSelectInput(display, request->requestor, PropertyChangeMask);
                long size = (long)offer->size;
                XChangeProperty(display, request->requestor, property, incr_atom, 32,
                                PropModeReplace, (unsigned char*)&size, 1);
            } else {
                put(request->requestor, property, offer, 0, offer->size);
            }
            given = 1;
        }
    }
    XEvent reply = {0};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request->requestor;
    reply.xselection.selection = request->selection;
    reply.xselection.target = request->target;
    reply.xselection.property = given ? property : None;
    reply.xselection.time = request->time;
    XSendEvent(display, request->requestor, False, NoEventMask, &reply);
    XFlush(display);
}

static void advance(const XPropertyEvent* event) {
    if (event->state != PropertyDelete) {
        return;
    }
    for (int t = 0; t < 8; ++t) {
        Transfer* transfer = &transfers[t];
        if (!transfer->active || transfer->requestor != event->window ||
            transfer->property != event->atom) {
            continue;
        }
        size_t left = transfer->offer->size - transfer->offset;
        size_t size = left < PART ? left : PART;
        put(transfer->requestor, transfer->property, transfer->offer, transfer->offset, size);
        transfer->offset += size;
        if (size == 0) {
            transfer->active = 0;
        }
        XFlush(display);
    }
}

static int own(const char* kind) {
    if (strcmp(kind, "full") == 0 || strcmp(kind, "silent") == 0 || strcmp(kind, "refusing") == 0) {
        add_text("UTF8_STRING", "UTF8_STRING",
                 "clipboard text: gr\xC3\xBC\xC3\x9F"
                 "e \xF0\x9F\x99\x82");
        add_text("text/plain;charset=utf-8", "text/plain;charset=utf-8",
                 "clipboard text: gr\xC3\xBC\xC3\x9F"
                 "e \xF0\x9F\x99\x82");
        add_text("STRING", "STRING",
                 "clipboard text: gr\xFC\xDF"
                 "e");
        add_text("TEXT", "UTF8_STRING",
                 "clipboard text: gr\xC3\xBC\xC3\x9F"
                 "e \xF0\x9F\x99\x82");
        add_text("text/html", "text/html", "<p>clipboard <b>text</b></p>");
        add_pattern("image/png", "image/png", 40000, 7);
        const uint32_t numbers[3] = {1, 0x7fffffff, 0xfffffffe};
        add("application/x-larkspin-numbers", "INTEGER", 32, numbers, sizeof numbers);
        add_pattern("application/x-larkspin-large", "application/x-larkspin-large", 1500000, 11);
    } else if (strcmp(kind, "secret") == 0) {
        add_text("UTF8_STRING", "UTF8_STRING", "hunter2");
        add_text("x-kde-passwordManagerHint", "x-kde-passwordManagerHint", "secret");
    } else if (strncmp(kind, "text:", 5) == 0) {
        add_text("UTF8_STRING", "UTF8_STRING", kind + 5);
    } else {
        fprintf(stderr, "unknown kind %s\n", kind);
        return 2;
    }
    printf("targets TARGETS TIMESTAMP");
    for (int i = 0; i < offer_count; ++i) {
        printf(" %s", offers[i].target);
    }
    printf("\n");
    for (int i = 0; i < offer_count; ++i) {
        print_line(stdout, offers[i].target, offers[i].type, offers[i].format, offers[i].bytes,
                   offers[i].size);
    }
    XSetSelectionOwner(display, clipboard, window, server_time());
    if (XGetSelectionOwner(display, clipboard) != window) {
        printf("not owner\n");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionRequest) {
            answer(&event.xselectionrequest, kind);
        } else if (event.type == PropertyNotify) {
            advance(&event.xproperty);
        } else if (event.type == SelectionClear && event.xselectionclear.selection == clipboard) {
            printf("lost\n");
            fflush(stdout);
            return 0;
        }
    }
}

/* --- reading --- */

static Atom conversion;

static Bool is_notify(Display* d, XEvent* e, XPointer arg) {
    (void)d;
    (void)arg;
    return e->type == SelectionNotify && e->xselection.requestor == window;
}

static Bool is_new_value(Display* d, XEvent* e, XPointer arg) {
    (void)d;
    (void)arg;
    return e->type == PropertyNotify && e->xproperty.window == window &&
           e->xproperty.atom == conversion && e->xproperty.state == PropertyNewValue;
}

/* Takes the property whole; its items of format 32 become 4 bytes each. */
static unsigned char* take(Atom* type, int* format, size_t* size) {
    unsigned long count = 0, after = 0;
    unsigned char* items = NULL;
    if (XGetWindowProperty(display, window, conversion, 0, 0x1FFFFFFF, True, AnyPropertyType, type,
                           format, &count, &after, &items) != Success ||
        *type == None) {
        if (items) {
            XFree(items);
        }
        return NULL;
    }
    size_t unit = *format == 32 ? 4 : *format == 16 ? 2 : 1;
    *size = count * unit;
    unsigned char* bytes = malloc(*size ? *size : 1);
    for (unsigned long i = 0; i < count; ++i) {
        if (*format == 32) {
            uint32_t item = (uint32_t)((long*)items)[i];
            memcpy(bytes + i * 4, &item, 4);
        } else {
            memcpy(bytes + i * unit, items + i * unit, unit);
        }
    }
    XFree(items);
    return bytes;
}

/* The target's bytes, or NULL when the owner refused or said nothing. */
static unsigned char* convert(Atom target, Atom* type, int* format, size_t* size) {
    XDeleteProperty(display, window, conversion);
    XConvertSelection(display, clipboard, target, conversion, window, CurrentTime);
    XEvent event;
    if (!wait_event(&event, is_notify, NULL) || event.xselection.property == None) {
        return NULL;
    }
    unsigned char* bytes = take(type, format, size);
    if (bytes == NULL || *type != incr_atom) {
        return bytes;
    }
    free(bytes);
    unsigned char* whole = malloc(1);
    size_t total = 0;
    for (;;) {
        if (!wait_event(&event, is_new_value, NULL)) {
            free(whole);
            return NULL;
        }
        size_t part = 0;
        unsigned char* piece = take(type, format, &part);
        if (piece == NULL) {
            continue;
        }
        if (part == 0) {
            free(piece);
            *size = total;
            return whole;
        }
        whole = realloc(whole, total + part);
        memcpy(whole + total, piece, part);
        total += part;
        free(piece);
    }
}

/* The process of the window that owns CLIPBOARD: 0 for none, -1 when it names none. */
static long owner_pid(void) {
    Window owner = XGetSelectionOwner(display, clipboard);
    if (owner == None) {
        return 0;
    }
    Atom type;
    int format;
    unsigned long count = 0, after;
    unsigned char* pid = NULL;
    long found = -1;
    if (XGetWindowProperty(display, owner, atom("_NET_WM_PID"), 0, 1, False, XA_CARDINAL, &type,
                           &format, &count, &after, &pid) == Success &&
        count == 1) {
        found = (long)*(unsigned long*)pid;
    }
    if (pid) {
        XFree(pid);
    }
    return found;
}

/* The targets and each data target's value, as the owner gives them. */
static void list_targets(FILE* out) {
    Atom type;
    int format;
    size_t size = 0;
    unsigned char* listed = convert(targets_atom, &type, &format, &size);
    if (listed == NULL) {
        fprintf(out, "targets unanswered\n");
        return;
    }
    size_t count = size / 4;
    fprintf(out, "targets");
    for (size_t i = 0; i < count; ++i) {
        uint32_t target;
        memcpy(&target, listed + i * 4, 4);
        char* name = XGetAtomName(display, target);
        fprintf(out, " %s", name);
        XFree(name);
    }
    fprintf(out, "\n");
    for (size_t i = 0; i < count; ++i) {
        uint32_t target;
        memcpy(&target, listed + i * 4, 4);
        if (target == targets_atom || target == timestamp_atom || target == multiple_atom) {
            continue;
        }
        char* name = XGetAtomName(display, target);
        unsigned char* bytes = convert(target, &type, &format, &size);
        if (bytes == NULL) {
            fprintf(out, "%s unanswered\n", name);
        } else {
            char* type_name = XGetAtomName(display, type);
            print_line(out, name, type_name, format, bytes, size);
            XFree(type_name);
            free(bytes);
        }
        XFree(name);
    }
    free(listed);
}

/* The owner is asked before and after the targets are read: a dump that spans a change of
   owner says so instead of naming either. */
static int dump(void) {
    const long owner = owner_pid();
    if (owner == 0) {
        printf("owner none\n");
        return 0;
    }
    char* listing = NULL;
    size_t listing_size = 0;
    FILE* out = open_memstream(&listing, &listing_size);
    list_targets(out);
    fclose(out);
    if (owner_pid() != owner) {
        printf("owner changing\n");
    } else if (owner < 0) {
        printf("owner unknown\n");
    } else {
        printf("owner %ld\n", owner);
    }
    fwrite(listing, 1, listing_size, stdout);
    free(listing);
    return 0;
}

static int text(void) {
    Atom type;
    int format;
    size_t size = 0;
    unsigned char* bytes = convert(atom("UTF8_STRING"), &type, &format, &size);
    if (bytes == NULL) {
        printf("none\n");
        return 0;
    }
    printf("%zu %016llx\n", size, (unsigned long long)fnv(bytes, size));
    free(bytes);
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: clipboard_owner own KIND | dump | text\n");
        return 2;
    }
    display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "no display\n");
        return 1;
    }
    clipboard = atom("CLIPBOARD");
    targets_atom = atom("TARGETS");
    timestamp_atom = atom("TIMESTAMP");
    incr_atom = atom("INCR");
    multiple_atom = atom("MULTIPLE");
    conversion = atom("CLIPBOARD_OWNER_CONVERSION");
    XSetWindowAttributes attributes = {0};
    attributes.event_mask = PropertyChangeMask;
    window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, InputOnly,
                           CopyFromParent, CWEventMask, &attributes);
    long pid = getpid();
    XChangeProperty(display, window, atom("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    (unsigned char*)&pid, 1);
    if (strcmp(argv[1], "own") == 0 && argc > 2) {
        return own(argv[2]);
    }
    if (strcmp(argv[1], "dump") == 0) {
        return dump();
    }
    if (strcmp(argv[1], "text") == 0) {
        return text();
    }
    if (strcmp(argv[1], "clear") == 0) {
        XSetSelectionOwner(display, clipboard, None, server_time());
        XSync(display, False);
        return 0;
    }
    if (strcmp(argv[1], "owner") == 0) {
        printf("owner %ld\n", owner_pid());
        return 0;
    }
    fprintf(stderr, "unknown command %s\n", argv[1]);
    return 2;
}
