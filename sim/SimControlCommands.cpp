#include "SimControlCommands.h"

#include <QStringList>

#include <limits>
#include <optional>

#include "CameraCommand.h"

namespace vexhal::sim {

namespace {

const QString kHelp = QStringLiteral(
    "ok commands: plug, unplug, status, restart-delay <ms>, fault error <command> <code>, "
    "fault no-reply <command>, fault garbage <command>, fault slow <ms>, "
    "fault detach-after <packet>, fault never-return on|off, fault 4k on|off, fault clear");

std::optional<qint64> number(const QString& text, qint64 maximum) {
  bool ok = false;
  const qint64 value = text.toLongLong(&ok, 0);
  if (!ok || value < 0 || value > maximum) {
    return std::nullopt;
  }
  return value;
}

std::optional<bool> onOff(const QString& text) {
  if (text == QLatin1String("on")) return true;
  if (text == QLatin1String("off")) return false;
  return std::nullopt;
}

}  // namespace

QString SimControlCommands::execute(const QString& line) {
  const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (words.isEmpty()) {
    return QStringLiteral("error empty command");
  }
  const QString& verb = words.first();
  if (verb == QLatin1String("plug") && words.size() == 1) {
    camera_.plug();
    return QStringLiteral("ok attached");
  }
  if (verb == QLatin1String("unplug") && words.size() == 1) {
    camera_.unplug();
    return QStringLiteral("ok detached");
  }
  if (verb == QLatin1String("status") && words.size() == 1) {
    return status();
  }
  if (verb == QLatin1String("help")) {
    return kHelp;
  }
  if (verb == QLatin1String("restart-delay") && words.size() == 2) {
    const auto ms = number(words[1], 3600 * 1000);
    if (!ms) {
      return QStringLiteral("error restart-delay takes milliseconds");
    }
    camera_.setRestartDelay(std::chrono::milliseconds(*ms));
    return QStringLiteral("ok restart-delay %1").arg(*ms);
  }
  if (verb == QLatin1String("fault")) {
    return fault(words);
  }
  return QStringLiteral("error unknown command: %1 (try help)").arg(line.simplified());
}

QString SimControlCommands::fault(const QStringList& words) {
  SimFaults faults = camera_.faults();
  const QString kind = words.value(1);
  const auto command = [&]() -> std::optional<std::uint16_t> {
    return commandFromText(words.value(2).toStdString());
  };
  if (kind == QLatin1String("clear") && words.size() == 2) {
    faults = SimFaults{};
  } else if (kind == QLatin1String("error") && words.size() == 4) {
    const auto cmd = command();
    const auto code = number(words[3], std::numeric_limits<std::uint32_t>::max());
    if (!cmd || !code) {
      return QStringLiteral("error usage: fault error <command> <code>");
    }
    faults.errorCodes[*cmd] = static_cast<std::uint32_t>(*code);
  } else if ((kind == QLatin1String("no-reply") || kind == QLatin1String("garbage")) &&
             words.size() == 3) {
    const auto cmd = command();
    if (!cmd) {
      return QStringLiteral("error unknown command: %1").arg(words[2]);
    }
    (kind == QLatin1String("garbage") ? faults.garbage : faults.noReply).insert(*cmd);
  } else if (kind == QLatin1String("slow") && words.size() == 3) {
    const auto ms = number(words[2], 60 * 1000);
    if (!ms) {
      return QStringLiteral("error usage: fault slow <ms>");
    }
    faults.replyDelay = std::chrono::milliseconds(*ms);
  } else if (kind == QLatin1String("detach-after") && words.size() == 3) {
    const auto packet = number(words[2], std::numeric_limits<std::int32_t>::max());
    if (!packet) {
      return QStringLiteral("error usage: fault detach-after <packet>");
    }
    faults.detachAfterPacket = *packet;
  } else if ((kind == QLatin1String("never-return") || kind == QLatin1String("4k")) &&
             words.size() == 3) {
    const auto on = onOff(words[2]);
    if (!on) {
      return QStringLiteral("error usage: fault %1 on|off").arg(kind);
    }
    (kind == QLatin1String("4k") ? faults.otherProgramCaptures4K : faults.neverReturn) = *on;
  } else {
    return QStringLiteral("error unknown fault (try help)");
  }
  camera_.setFaults(std::move(faults));
  return QStringLiteral("ok ") + words.mid(1).join(QLatin1Char(' '));
}

QString SimControlCommands::status() const {
  const SimFaults& faults = camera_.faults();
  return QStringLiteral("ok %1 serial=%2 version=%3 state=%4 faults=%5")
      .arg(camera_.isAttached() ? QStringLiteral("attached") : QStringLiteral("detached"),
           QString::fromStdString(camera_.serialNumber()),
           QString::fromStdString(camera_.firmwareVersion().text()),
           camera_.firmwareFailed() ? QStringLiteral("failed") : QStringLiteral("ready"),
           faults.any() ? QStringLiteral("some") : QStringLiteral("none"));
}

}  // namespace vexhal::sim
