#include "app/X11LaunchActivation.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace vexhal {
namespace {

constexpr std::uint32_t kSourceApplication = 1;
constexpr std::size_t kMessageChunk = 20;

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return found;
}

xcb_client_message_event_t clientMessage(xcb_window_t window, xcb_atom_t type,
                                         std::uint8_t format) {
  xcb_client_message_event_t event;
  std::memset(&event, 0, sizeof event);
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = format;
  event.window = window;
  event.type = type;
  return event;
}

// A startup-notification message: 20 bytes an event, the first of type BEGIN, the text's
// terminating zero included.
void sendStartupMessage(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                        const QByteArray& message) {
  const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
  const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
  const QByteArray text = message + '\0';
  for (qsizetype sent = 0; sent < text.size(); sent += kMessageChunk) {
    xcb_client_message_event_t event = clientMessage(window, sent == 0 ? begin : more, 8);
    const auto length = std::min<qsizetype>(kMessageChunk, text.size() - sent);
    std::memcpy(event.data.data8, text.constData() + sent, static_cast<std::size_t>(length));
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                   reinterpret_cast<const char*>(&event));
  }
}

}  // namespace

quint32 X11LaunchActivation::userTime(const QString& startupId) {
  const qsizetype mark = startupId.lastIndexOf(QStringLiteral("_TIME"));
  if (mark < 0) {
    return 0;
  }
  bool ok = false;
  const quint32 time = startupId.mid(mark + 5).toUInt(&ok);
  return ok ? time : 0;
}

bool X11LaunchActivation::activate(QWidget* window, const QString& startupId) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || window == nullptr || !window->testAttribute(Qt::WA_WState_Created)) {
    return false;
  }
  xcb_connection_t* connection = x11->connection();
  const auto target = static_cast<xcb_window_t>(window->winId());
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const quint32 time = userTime(startupId);
  if (time != 0) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, target,
                        atom(connection, "_NET_WM_USER_TIME"), XCB_ATOM_CARDINAL, 32, 1, &time);
  }
  xcb_client_message_event_t event =
      clientMessage(target, atom(connection, "_NET_ACTIVE_WINDOW"), 32);
  event.data.data32[0] = kSourceApplication;
  event.data.data32[1] = time;
  xcb_send_event(connection, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&event));
  if (!startupId.isEmpty()) {
    sendStartupMessage(connection, root, target, "remove: ID=" + startupId.toUtf8());
  }
  xcb_flush(connection);
  return true;
}

}  // namespace vexhal
