#include "diagnostics/MaskedZipSource.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

#include "diagnostics/SerialMask.h"

namespace vexhal::diagnostics {

namespace {

struct State {
  zip_t* from = nullptr;
  zip_uint64_t index = 0;
  const SerialMask* mask = nullptr;
  zip_file_t* file = nullptr;
  QByteArray pending;  // the unfinished line
  QByteArray ready;    // masked bytes not yet handed to libzip
  qsizetype offset = 0;
  bool ended = false;
  zip_error_t error{};

  // Fills `ready` from the entry until it holds something or the entry has ended.
  bool refill() {
    char buffer[64 * 1024];
    ready.clear();
    offset = 0;
    while (ready.isEmpty() && !ended) {
      const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
      if (got < 0) {
        zip_error_set(&error, ZIP_ER_READ, 0);
        return false;
      }
      if (got == 0) {
        ended = true;
        ready = mask->finish(pending);
      } else {
        ready = mask->feed(pending, QByteArrayView(buffer, static_cast<qsizetype>(got)));
      }
    }
    return true;
  }

  zip_int64_t read(void* data, zip_uint64_t length) {
    zip_uint64_t given = 0;
    while (given < length) {
      if (offset == ready.size() && (!refill() || ready.isEmpty())) break;
      const auto count =
          std::min<zip_uint64_t>(length - given, static_cast<zip_uint64_t>(ready.size() - offset));
      std::memcpy(static_cast<char*>(data) + given, ready.constData() + offset, count);
      offset += static_cast<qsizetype>(count);
      given += count;
    }
    return zip_error_code_zip(&error) != ZIP_ER_OK ? -1 : static_cast<zip_int64_t>(given);
  }
};

zip_int64_t callback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  auto* state = static_cast<State*>(userdata);
  switch (command) {
    case ZIP_SOURCE_OPEN:
      state->file = zip_fopen_index(state->from, state->index, 0);
      if (state->file == nullptr) {
        zip_error_set(&state->error, ZIP_ER_OPEN, 0);
        return -1;
      }
      state->pending.clear();
      state->ready.clear();
      state->offset = 0;
      state->ended = false;
      return 0;
    case ZIP_SOURCE_READ:
      return state->read(data, length);
    case ZIP_SOURCE_CLOSE:
      if (state->file != nullptr) zip_fclose(state->file);
      state->file = nullptr;
      return 0;
    case ZIP_SOURCE_STAT: {
      // The masked size is known only once read; the time is the entry's own.
      auto* stat = static_cast<zip_stat_t*>(data);
      zip_stat_init(stat);
      zip_stat_t original;
      if (zip_stat_index(state->from, state->index, 0, &original) == 0 &&
          (original.valid & ZIP_STAT_MTIME) != 0) {
        stat->mtime = original.mtime;
        stat->valid |= ZIP_STAT_MTIME;
      }
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&state->error, data, length);
    case ZIP_SOURCE_FREE:
      if (state->file != nullptr) zip_fclose(state->file);
      zip_error_fini(&state->error);
      delete state;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&state->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

}  // namespace

zip_source_t* MaskedZipSource::make(zip_t* to, zip_t* from, zip_uint64_t index,
                                    const SerialMask& mask) {
  auto* state = new State;
  state->from = from;
  state->index = index;
  state->mask = &mask;
  zip_error_init(&state->error);
  zip_source_t* source = zip_source_function(to, callback, state);
  if (source == nullptr) {
    zip_error_fini(&state->error);
    delete state;
  }
  return source;
}

}  // namespace vexhal::diagnostics
