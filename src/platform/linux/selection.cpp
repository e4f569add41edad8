// Conversions and serving, as the ICCCM describes them: a requestor names a target and a
// property on its window; the owner writes the value there and says so with SelectionNotify. A
// value too large for one request goes as INCR: parts written one at a time, each after the
// requestor deleted the last, ended by an empty part.
#include "selection.h"

#include <X11/Xatom.h>
#include <algorithm>
#include <cstring>

namespace platform::x11 {

namespace {

// A transfer whose requestor took no part for this long has been given up on.
constexpr auto transferIdle = std::chrono::seconds(5);
// Up to 2 GB: Xlib sends the length as 32 bits.
constexpr long wholeProperty = 0x1FFFFFFF;
// Conversions take turns among a few properties, so that an answer to one that was given up
// on is not taken for the next one's.
constexpr unsigned conversionProperties = 4;

std::optional<Property> takeProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* items = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, wholeProperty, True,
                                          AnyPropertyType, &type, &format, &count, &after, &items);
    std::optional<Property> value;
    if (status == Success && type != None) {
        value = Property{type, format, propertyBytes(format, count, items)};
    }
    if (items != nullptr) {
        XFree(items);
    }
    return value;
}

std::size_t unitOf(int format) {
    return format == 32 ? 4 : format == 16 ? 2 : 1;
}

}  // namespace

std::string propertyBytes(int format, unsigned long count, const unsigned char* items) {
    if (items == nullptr || count == 0) {
        return {};
    }
    if (format == 32) {
        std::string bytes(count * 4, '\0');
        const auto* longs = reinterpret_cast<const long*>(items);
        for (unsigned long i = 0; i < count; ++i) {
            const auto item = static_cast<std::uint32_t>(longs[i]);
            std::memcpy(bytes.data() + i * 4, &item, 4);
        }
        return bytes;
    }
    return std::string(reinterpret_cast<const char*>(items), count * unitOf(format));
}

void putProperty(Display* display, Window window, Atom property, Atom type, int format,
                 const char* bytes, std::size_t size) {
    const std::size_t unit = unitOf(format);
    const std::size_t count = size / unit;
    if (format == 32) {
        std::vector<long> longs(count);
        for (std::size_t i = 0; i < count; ++i) {
            std::uint32_t item = 0;
            std::memcpy(&item, bytes + i * 4, 4);
            longs[i] = static_cast<long>(item);
        }
        XChangeProperty(display, window, property, type, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(longs.data()),
                        static_cast<int>(count));
        return;
    }
    XChangeProperty(display, window, property, type, format == 16 ? 16 : 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(bytes), static_cast<int>(count));
}

std::string utf8FromLatin1(const std::string& latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8.push_back(c);
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return utf8;
}

bool describesSelection(Display* display, Atom target) {
    // TARGETS and TIMESTAMP tell about the selection; MULTIPLE asks for several at once;
    // SAVE_TARGETS, DELETE and the INSERT ones ask the owner to do something.
    static const char* const names[] = {"TARGETS",        "TIMESTAMP", "MULTIPLE",
                                        "SAVE_TARGETS",   "DELETE",    "INSERT_SELECTION",
                                        "INSERT_PROPERTY"};
    return std::any_of(std::begin(names), std::end(names),
                       [&](const char* name) { return intern(display, name) == target; });
}

Converted convert(Link& link, Atom selection, Atom target) {
    Display* display = link.display;
    static unsigned turn = 0;  // the caller holds the link's lock
    const Atom property = intern(
        display, ("LARKSPIN_CONVERSION_" + std::to_string(turn++ % conversionProperties)).c_str());
    // What is still queued belongs to conversions given up on.
    XSync(display, True);
    XDeleteProperty(display, link.window, property);
    XConvertSelection(display, selection, target, property, link.window, CurrentTime);
    XFlush(display);
    const auto notify = awaitEvent(display, Clock::now() + answerWait, [&](const XEvent& e) {
        return e.type == SelectionNotify && e.xselection.requestor == link.window &&
               e.xselection.selection == selection && e.xselection.target == target &&
               (e.xselection.property == property || e.xselection.property == None);
    });
    if (!notify) {
        return {Answer::silent, {}};
    }
    if (notify->xselection.property == None) {
        return {Answer::refused, {}};
    }
    std::optional<Property> value = takeProperty(display, link.window, property);
    if (!value) {
        return {Answer::refused, {}};
    }
    const Atom incremental = intern(display, "INCR");
    if (value->type != incremental) {
        return {Answer::data, std::move(*value)};
    }
    // Taking the INCR property deleted it, which asks for the first part.
    Property whole;
    for (;;) {
        const auto changed = awaitEvent(display, Clock::now() + answerWait, [&](const XEvent& e) {
            return e.type == PropertyNotify && e.xproperty.window == link.window &&
                   e.xproperty.atom == property && e.xproperty.state == PropertyNewValue;
        });
        if (!changed) {
            return {Answer::silent, {}};
        }
        std::optional<Property> part = takeProperty(display, link.window, property);
        if (!part || part->type == incremental) {
            continue;  // the news of a value already taken
        }
        whole.type = part->type;
        whole.format = part->format;
        if (part->bytes.empty()) {
            return {Answer::data, std::move(whole)};
        }
        whole.bytes += part->bytes;
    }
}

Server::Server(Display* display, Window window, Atom selection)
    : display_(display),
      window_(window),
      selection_(selection),
      targetsAtom_(intern(display, "TARGETS")),
      timestampAtom_(intern(display, "TIMESTAMP")),
      incrAtom_(intern(display, "INCR")) {}

void Server::owned(Time time) {
    owns_ = true;
    ownedAt_ = time;
    targets_.clear();
}

void Server::serve(std::vector<Served> targets) {
    targets_ = std::move(targets);
}

void Server::handle(const XEvent& event) {
    switch (event.type) {
        case SelectionRequest:
            answer(event.xselectionrequest);
            break;
        case SelectionClear:
            if (event.xselectionclear.selection == selection_ &&
                event.xselectionclear.window == window_) {
                owns_ = false;
                targets_.clear();
            }
            break;
        case PropertyNotify:
            advance(event.xproperty);
            break;
        default:
            break;
    }
}

void Server::answer(const XSelectionRequestEvent& request) {
    // Requestors of the last century name no property: the target is the property then.
    const Atom property = request.property == None ? request.target : request.property;
    const bool given = request.selection == selection_ && request.owner == window_ && owns_ &&
                       put(request, property);
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display_;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.property = given ? property : None;
    reply.xselection.time = request.time;
    XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
    XFlush(display_);
}

bool Server::put(const XSelectionRequestEvent& request, Atom property) {
    if (request.target == targetsAtom_) {
        std::vector<long> atoms = {static_cast<long>(targetsAtom_),
                                   static_cast<long>(timestampAtom_)};
        for (const Served& served : targets_) {
            atoms.push_back(static_cast<long>(served.target));
        }
        XChangeProperty(display_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(atoms.data()),
                        static_cast<int>(atoms.size()));
        return true;
    }
    if (request.target == timestampAtom_) {
        const long time = static_cast<long>(ownedAt_);
        XChangeProperty(display_, request.requestor, property, XA_INTEGER, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&time), 1);
        return true;
    }
    const auto found = std::find_if(targets_.begin(), targets_.end(),
                                    [&](const Served& s) { return s.target == request.target; });
    if (found == targets_.end()) {
        return false;
    }
    const std::string& bytes = *found->bytes;
    if (bytes.size() <= partSize) {
        putProperty(display_, request.requestor, property, found->type, found->format, bytes.data(),
                    bytes.size());
        return true;
    }
    // Told the size, the requestor deletes the property for each part: its deletions are what
    // this connection listens for on that window.
    std::erase_if(transfers_, [&](const Transfer& t) {
        return t.requestor == request.requestor && t.property == property;
    });
    XSelectInput(display_, request.requestor, PropertyChangeMask);
    const long size = static_cast<long>(bytes.size());
    XChangeProperty(display_, request.requestor, property, incrAtom_, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&size), 1);
    transfers_.push_back(Transfer{request.requestor, property, *found, 0, Clock::now()});
    return true;
}

void Server::advance(const XPropertyEvent& event) {
    if (event.state != PropertyDelete) {
        return;
    }
    const auto found = std::find_if(transfers_.begin(), transfers_.end(), [&](const Transfer& t) {
        return t.requestor == event.window && t.property == event.atom;
    });
    if (found == transfers_.end()) {
        return;
    }
    Transfer& transfer = *found;
    const std::string& bytes = *transfer.value.bytes;
    const std::size_t unit = unitOf(transfer.value.format);
    const std::size_t part = std::min(partSize / unit * unit, bytes.size() - transfer.offset);
    putProperty(display_, transfer.requestor, transfer.property, transfer.value.type,
                transfer.value.format, bytes.data() + transfer.offset, part);
    XFlush(display_);
    transfer.offset += part;
    transfer.lastProgress = Clock::now();
    if (part == 0) {
        forget(static_cast<std::size_t>(found - transfers_.begin()));  // the empty part is out
    }
}

void Server::forget(std::size_t index) {
    const Window requestor = transfers_[index].requestor;
    transfers_.erase(transfers_.begin() + static_cast<std::ptrdiff_t>(index));
    const bool more = std::any_of(transfers_.begin(), transfers_.end(),
                                  [&](const Transfer& t) { return t.requestor == requestor; });
    if (!more) {
        XSelectInput(display_, requestor, NoEventMask);
    }
}

void Server::expire(Clock::time_point now) {
    for (std::size_t i = transfers_.size(); i-- > 0;) {
        if (now - transfers_[i].lastProgress > transferIdle) {
            forget(i);
        }
    }
}

}  // namespace platform::x11
