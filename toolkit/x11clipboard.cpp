// The X selection protocol for one target (image/png on CLIPBOARD): the
// reply to a SelectionRequest is the property on the requestor's window and a
// SelectionNotify; data larger than one piece goes as INCR, each piece
// written when the requestor deletes the previous one.

#include "toolkit/x11clipboard.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef CLIPORA_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace clipora {

#ifdef CLIPORA_HAVE_XCB

namespace {

// Pieces of 256 KB crossed fastest under Xvfb: 15 MB took 0.3 to 0.6 s in
// pieces of 64 KB to 1 MB, and 1.5 s in pieces of 4 MB.
constexpr std::size_t largestPiece = 256u << 10;
constexpr qint64 stalledMs = 10000;  // a requestor that takes no piece for this long is given up

xcb_atom_t internAtom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

class PngServer : public QObject, public QAbstractNativeEventFilter {
public:
    PngServer(xcb_connection_t* c, std::function<std::shared_ptr<ClipboardPng>()> current)
        : QObject(QCoreApplication::instance()), c_(c), current_(std::move(current)),
          clipboard_(internAtom(c, "CLIPBOARD")), png_(internAtom(c, "image/png")), incr_(internAtom(c, "INCR"))
    {
        const std::size_t most = 4 * static_cast<std::size_t>(xcb_get_maximum_request_length(c));
        piece_ = std::min(largestPiece, most > 4096 ? most - 1024 : std::size_t{1024});
        clock_.start();
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &PngServer::poll);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~PngServer() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    // Called from Qt's event code, so nothing may throw out of it: a request
    // that cannot be queued is left to Qt.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        try {
            return filter(eventType, message);
        } catch (...) {
            return false;
        }
    }

private:
    bool filter(const QByteArray& eventType, void* message)
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & 0x7F) {
        case XCB_SELECTION_REQUEST: {
            const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
            if (request->selection != clipboard_ || request->target != png_ || png_ == XCB_ATOM_NONE)
                return false;
            std::shared_ptr<ClipboardPng> png = current_();
            if (!png)
                return false;
            // Clients of the old protocol name no property: the target then.
            const xcb_atom_t property = request->property != XCB_ATOM_NONE ? request->property : request->target;
            // A requestor that asks again into the same property has given up
            // the earlier transfer: its pieces would land at the wrong place.
            std::erase_if(waiting_, [&](const Request& r) {
                return r.requestor == request->requestor && r.property == property;
            });
            std::erase_if(transfers_, [&](const Transfer& t) {
                return t.window == request->requestor && t.property == property;
            });
            waiting_.push_back({request->requestor, property, request->time, std::move(png)});
            poll();
            return true;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (change->state != XCB_PROPERTY_DELETE)
                return false;
            const auto t = std::find_if(transfers_.begin(), transfers_.end(), [&](const Transfer& t) {
                return t.window == change->window && t.property == change->atom;
            });
            if (t == transfers_.end())
                return false;
            sendPiece(t);
            return true;
        }
        default:
            return false;
        }
    }

    struct Request {
        xcb_window_t requestor;
        xcb_atom_t property;
        xcb_timestamp_t time;
        std::shared_ptr<ClipboardPng> png;
    };
    struct Transfer {
        xcb_window_t window;
        xcb_atom_t property;
        std::shared_ptr<const QByteArray> bytes;
        std::size_t sent;
        qint64 lastMoved;
    };

    // Answers the requests whose PNG is finished and gives up stalled
    // transfers; runs while either kind is left.
    void poll()
    {
        for (auto r = waiting_.begin(); r != waiting_.end();) {
            if (r->png->finished.load(std::memory_order_acquire)) {
                const Request request = *r;
                r = waiting_.erase(r);
                answer(request);
            } else {
                ++r;
            }
        }
        const qint64 now = clock_.elapsed();
        for (auto t = transfers_.begin(); t != transfers_.end();) {
            if (now - t->lastMoved > stalledMs) {
                const xcb_window_t window = t->window;
                t = transfers_.erase(t);
                stopWatching(window);
            } else {
                ++t;
            }
        }
        xcb_flush(c_);
        if (waiting_.empty() && transfers_.empty())
            timer_.stop();
        else if (!timer_.isActive())
            timer_.start();
    }

    void answer(const Request& request)
    {
        const std::shared_ptr<const QByteArray> bytes = request.png->bytes;
        if (!bytes || bytes->isEmpty()) {  // making it failed, or the copy was replaced meanwhile
            notify(request, XCB_ATOM_NONE);
            return;
        }
        const auto size = static_cast<std::size_t>(bytes->size());
        if (size <= piece_) {
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, request.property, png_, 8,
                                static_cast<std::uint32_t>(size), bytes->constData());
        } else {
            const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(c_, request.requestor, XCB_CW_EVENT_MASK, &mask);
            const auto announced = static_cast<std::uint32_t>(std::min<std::size_t>(size, 0xFFFFFFFFu));
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, request.property, incr_, 32, 1,
                                &announced);
            transfers_.push_back({request.requestor, request.property, bytes, 0, clock_.elapsed()});
        }
        notify(request, request.property);
    }

    void notify(const Request& request, xcb_atom_t property)
    {
        xcb_selection_notify_event_t event{};
        event.response_type = XCB_SELECTION_NOTIFY;
        event.time = request.time;
        event.requestor = request.requestor;
        event.selection = clipboard_;
        event.target = png_;
        event.property = property;
        xcb_send_event(c_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        xcb_flush(c_);
    }

    // The requestor took the last piece: the next one, or after the last
    // an empty one, which ends the transfer.
    void sendPiece(std::vector<Transfer>::iterator t)
    {
        const std::size_t size = static_cast<std::size_t>(t->bytes->size());
        const std::size_t length = std::min(piece_, size - t->sent);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, t->window, t->property, png_, 8,
                            static_cast<std::uint32_t>(length), t->bytes->constData() + t->sent);
        t->sent += length;
        t->lastMoved = clock_.elapsed();
        if (length == 0) {
            const xcb_window_t window = t->window;
            transfers_.erase(t);
            stopWatching(window);
        }
        xcb_flush(c_);
    }

    void stopWatching(xcb_window_t window)
    {
        if (std::any_of(transfers_.begin(), transfers_.end(), [&](const Transfer& t) { return t.window == window; }))
            return;
        const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(c_, window, XCB_CW_EVENT_MASK, &none);
    }

    xcb_connection_t* c_;
    std::function<std::shared_ptr<ClipboardPng>()> current_;
    xcb_atom_t clipboard_, png_, incr_;
    std::size_t piece_ = 0;
    std::vector<Request> waiting_;
    std::vector<Transfer> transfers_;
    QTimer timer_;
    QElapsedTimer clock_;
};

QPointer<PngServer>& installed()
{
    static QPointer<PngServer> server;
    return server;
}

}  // namespace

void serveClipboardPngOnX11(std::function<std::shared_ptr<ClipboardPng>()> current)
{
    if (installed() || QGuiApplication::platformName() != QStringLiteral("xcb"))
        return;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    installed() = new PngServer(x11->connection(), std::move(current));
}

#else

void serveClipboardPngOnX11(std::function<std::shared_ptr<ClipboardPng>()>) {}

#endif

}  // namespace clipora
