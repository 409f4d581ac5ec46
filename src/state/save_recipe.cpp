// CheckRecipe and SaveRecipe: the store's saver behind the messages and the progress window.
#include "state/save_recipe.h"

#include <windows.h>

#include "state/progress_dialog.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store/store_index.h"
#include "ui/dialog.h"
#include "ui/text.h"

const wchar_t kNoDatabaseMessage[] = L"No existe Base de Datos ...";
const wchar_t kRefusedMessage[] =
    L"No puedo grabar, Error ...\r\nAlgun dato esta vac\u00EDo o lleva demasiados datos ...";
const wchar_t kSavedMessage[] = L"Receta Guardada ...\r\nQue disfrutes tu receta uuuuummmm!!! ....";
const wchar_t kMessageCaption[] = L"Programador";

namespace {

// The screen is repainted and pending messages serviced at most this often while a picture is
// written; between times the save only writes.
constexpr ULONGLONG kKeepAliveIntervalMs = 15;
// Messages serviced in one keep-alive pass at most, so that a flood cannot stall the save.
constexpr int kMessagesPerPass = 64;

void ShowMessage(const wchar_t *text) {
    MessageBoxW(nullptr, text, kMessageCaption, MB_OK);
}

RecipeSnapshot SnapshotOf(const Recipe &recipe) {
    return {recipe.dishName, recipe.ingredients, recipe.elaboration, recipe.categoryName, recipe.picturePath};
}

// The picture file, open for reading (others may read it too) for the length of the save.
class PictureFile {
public:
    explicit PictureFile(const std::wstring &path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {}
    ~PictureFile() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    PictureFile(const PictureFile &) = delete;
    PictureFile &operator=(const PictureFile &) = delete;

    // A source over the file, or false when it cannot be opened or measured.
    bool Source(PictureSource &source) const {
        LARGE_INTEGER size;
        if (handle_ == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle_, &size)) {
            return false;
        }
        source.size = size.QuadPart;
        const HANDLE handle = handle_;
        source.read = [handle](uint8_t *buffer, size_t count, size_t &got) {
            got = 0;
            while (got < count) {
                const DWORD want = static_cast<DWORD>(count - got < (1u << 30) ? count - got : (1u << 30));
                DWORD n = 0;
                if (!ReadFile(handle, buffer + got, want, &n, nullptr)) {
                    return false;
                }
                if (n == 0) {
                    break;
                }
                got += n;
            }
            return true;
        };
        return true;
    }

private:
    HANDLE handle_;
};

// The progress window of one save, with the throttled repaint and message servicing.
struct ProgressState {
    HWND dialog = nullptr;
    ULONGLONG lastService = 0;

    void Start() {
        dialog = ProgressDialog();
        lastService = GetTickCount64();
    }
    void Position(int position) { SetProgressPosition(dialog, position); }
    void KeepAlive() {
        const ULONGLONG now = GetTickCount64();
        if (now - lastService < kKeepAliveIntervalMs) {
            return;
        }
        lastService = now;
        for (int i = 0; i < kMessagesPerPass && PumpOneMessage(); ++i) {
        }
    }
    void Finish() {
        DestroyProgressDialog(dialog);
        dialog = nullptr;
    }
};

} // namespace

std::wstring SaveFailureMessage(SaveResult result) {
    const std::wstring refused = L"No puedo grabar, Error ...\r\n";
    switch (result) {
    case SaveResult::Saved:
        return L"";
    case SaveResult::NoDatabase:
        return kNoDatabaseMessage;
    case SaveResult::KeysExhausted:
        return refused + L"La Base de Datos no admite m\u00E1s recetas ...";
    case SaveResult::PictureUnreadable:
        return L"No puedo leer la imagen ...\r\nLa receta no se ha guardado: elige otra imagen o int\u00E9ntalo de "
               L"nuevo ...";
    case SaveResult::Busy:
        return refused + L"Otro programa est\u00E1 usando la Base de Datos. La receta no se ha guardado: "
                         L"int\u00E9ntalo de nuevo ...";
    case SaveResult::DiskFull:
        return refused + L"No queda espacio en el disco. La receta no se ha guardado ...";
    case SaveResult::WriteFailed:
        return refused + L"No se ha podido escribir en la Base de Datos. La receta no se ha guardado ...";
    case SaveResult::RollbackFailed:
        return refused + L"No se ha podido escribir en la Base de Datos y puede quedar en ella parte de la "
                         L"receta, que no se mostrar\u00E1 ...";
    }
    return refused;
}

SaveOutcome CheckRecipe(const Recipe &recipe) {
    const SaveOutcome outcome = CheckRecipeValues(SnapshotOf(recipe));
    if (outcome == SaveOutcome::NoDatabase) {
        ShowMessage(kNoDatabaseMessage);
    }
    return outcome;
}

bool SaveRecipe(const Recipe &recipe) {
    // Messages are serviced during the save; an entry dialog open behind it may change the
    // recipe meanwhile, but not what this save writes.
    const RecipeSnapshot snapshot = SnapshotOf(recipe);
    const std::wstring picturePath =
        recipe.picturePathWide.empty() ? AnsiToWide(recipe.picturePath) : recipe.picturePathWide;

    SaveResult result = SaveResult::Saved;
    SavedRecords saved;
    if (snapshot.picturePath.empty()) {
        result = SaveRecipeValues(snapshot, nullptr, {}, {}, &saved);
    } else {
        PictureFile file(picturePath);
        PictureSource source;
        if (!file.Source(source)) {
            // Told before anything is written (the schema's absence comes first, as it would).
            result = LoadFieldSchema() < kSchemaFieldCount ? SaveResult::NoDatabase : SaveResult::PictureUnreadable;
        } else {
            ProgressState state;
            SaveProgress progress;
            progress.pictureStarting = [&state] { state.Start(); };
            progress.positionChanged = [&state](int position) { state.Position(position); };
            progress.keepAlive = [&state] { state.KeepAlive(); };
            progress.pictureFinished = [&state] { state.Finish(); };
            result = SaveRecipeValues(snapshot, &source, progress, {}, &saved);
            state.Finish();
        }
    }
    if (result != SaveResult::Saved) {
        ShowMessage(SaveFailureMessage(result).c_str());
        return false;
    }
    // The next search then need not read back what was just written, the picture above all.
    ExtendStoreIndex(saved);
    return true;
}
