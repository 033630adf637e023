#include "diagnostics/DiagnosticsArchive.h"

#include <QFile>

#include <sys/stat.h>
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>

#include "diagnostics/MaskedZipSource.h"
#include "diagnostics/SerialMask.h"

namespace vexhal::diagnostics {

namespace {

QString failure(const QString& path, const QString& reason) {
  return QStringLiteral("Could not write %1: %2").arg(path, reason);
}

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// libzip's error in the user's words: the system's reason when there is one.
QString zipReason(zip_error_t* error) {
  if (zip_error_system_type(error) == ZIP_ET_SYS && zip_error_code_system(error) != 0)
    return systemReason(zip_error_code_system(error));
  return QString::fromLocal8Bit(zip_error_strerror(error));
}

struct ZipCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

// "QLogs/sub/a.log" → "logs/sub/a.log"; the top folder itself → "logs/".
QString logEntryName(const char* name) {
  const QString text = QString::fromUtf8(name);
  const qsizetype slash = text.indexOf(u'/');
  return QStringLiteral("logs/") + (slash < 0 ? text : text.mid(slash + 1));
}

}  // namespace

QString DiagnosticsArchive::write(const QString& target, const QString& logsZip,
                                  const std::vector<File>& files, const SerialMask* mask) {
  const QByteArray nativeTarget = QFile::encodeName(target);
  struct stat info {};
  if (::stat(nativeTarget.constData(), &info) == 0 && !S_ISREG(info.st_mode))
    return failure(target, systemReason(S_ISDIR(info.st_mode) ? EISDIR : EEXIST));
  int code = 0;
  // The log archive and the report's bytes are read when the output is closed, so they are made
  // before it and outlive it.
  ZipHandle logs;
  if (!logsZip.isEmpty()) {
    logs.reset(zip_open(QFile::encodeName(logsZip).constData(), ZIP_RDONLY, &code));
    if (!logs) return failure(target, QStringLiteral("the logs could not be read"));
  }
  std::deque<QByteArray> contents;
  ZipHandle out(zip_open(nativeTarget.constData(), ZIP_CREATE | ZIP_TRUNCATE, &code));
  if (!out) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString reason = zipReason(&error);
    zip_error_fini(&error);
    return failure(target, reason);
  }
  const auto added = [&](zip_source_t* source, const QString& name, bool quick = false) {
    if (source == nullptr) return false;
    const zip_int64_t index = zip_file_add(out.get(), name.toUtf8().constData(), source,
                                           ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
      zip_source_free(source);
      return false;
    }
    // Masked logs are packed a second time: the fastest deflate keeps that cheap.
    return !quick || zip_set_file_compression(out.get(), static_cast<zip_uint64_t>(index),
                                              ZIP_CM_DEFLATE, 1) == 0;
  };
  const zip_int64_t logCount = logs ? zip_get_num_entries(logs.get(), 0) : 0;
  for (zip_int64_t i = 0; i < logCount; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    const QString name = logEntryName(zip_get_name(logs.get(), index, 0));
    bool ok = true;
    if (name.endsWith(u'/')) {
      ok = zip_dir_add(out.get(), name.toUtf8().constData(), ZIP_FL_ENC_UTF_8) >= 0;
    } else if (mask != nullptr) {
      ok = added(MaskedZipSource::make(out.get(), logs.get(), index, *mask), name, true);
    } else {
      // Copied as it is compressed, without unpacking.
      ok = added(zip_source_zip(out.get(), logs.get(), index, ZIP_FL_COMPRESSED, 0, -1), name);
    }
    if (!ok) return failure(target, zipReason(zip_get_error(out.get())));
  }
  for (const auto& [name, bytes] : files) {
    contents.push_back(mask != nullptr ? mask->apply(bytes) : bytes);
    if (!added(zip_source_buffer(out.get(), contents.back().constData(),
                                 static_cast<zip_uint64_t>(contents.back().size()), 0),
               name))
      return failure(target, zipReason(zip_get_error(out.get())));
  }
  if (zip_close(out.get()) != 0) return failure(target, zipReason(zip_get_error(out.get())));
  out.release();
  return {};
}

}  // namespace vexhal::diagnostics
