# SPDX-License-Identifier: GPL-3.0-or-later
# Nautilus (nautilus-python): "Compress with Pressel" on pictures and folders. Pressel hands the
# files of a second launch to its running window, so each use simply starts `pressel FILE...`.
from gi.repository import GLib, GObject, Nautilus

MIME_TYPES = {
    "image/jpeg", "image/png", "image/heic", "image/heif", "image/avif", "image/webp",
    "image/tiff", "inode/directory",
}


def label():
    # Pressel's own rule: Chinese and the C locale read the Chinese text, any other language English.
    language = GLib.get_language_names()[0].split(".")[0].split("@")[0]
    if language in ("C", "POSIX") or language.startswith("zh"):
        return "使用 Pressel 压缩"
    return "Compress with Pressel"


class PresselMenuProvider(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *args):
        # Nautilus 43 passes the files alone; nautilus-python before 4.0 the window first.
        paths = []
        for info in args[-1]:
            path = info.get_location().get_path()
            if path is None or info.get_mime_type() not in MIME_TYPES:
                return []
            paths.append(path)
        if not paths:
            return []
        item = Nautilus.MenuItem(name="PresselMenuProvider::Compress", label=label(), icon="pressel")
        item.connect("activate", self.compress, paths)
        return [item]

    def get_background_items(self, *args):
        return []

    def compress(self, _item, paths):
        try:
            GLib.spawn_async(["pressel", *paths], flags=GLib.SpawnFlags.SEARCH_PATH)
        except GLib.Error as error:
            print(f"pressel-nautilus: could not start pressel: {error.message}", flush=True)
