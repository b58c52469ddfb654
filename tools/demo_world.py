"""The demo's world: what the bundled demo server offers and the player's side it meets (a game
folder with one stray mod in the plain mods folder, one mod that is a saved error page and two
files the server wants removed, and the launcher configuration naming the folder). Used by
tools/demo and by the acceptance test, so the test proves what a newcomer runs."""

import json
import shutil
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "gui"))
from harness import windows_path  # noqa: E402

DEMO_SERVER = ROOT / "demo" / "server"
TOOL = "Settingss.exe"
FORGE = "forge-1.12.2-14.23.2.2629-installer-win.exe"
STRAY = "stonework-1.12.2-1.0.3.jar"
DAMAGED = "bakery-1.12.2-2.0.jar"
REMOVABLE = ["old-minimap-1.10.2.jar", "legacy-items-1.10.2.jar"]


def prepare_server(served, stand_in):
    """Copies the bundled server folder to `served`, with `stand_in` (a harmless program) as
    the extra-settings tool and the Forge installer."""
    shutil.rmtree(served, ignore_errors=True)
    shutil.copytree(DEMO_SERVER, served)
    for name in (TOOL, FORGE):
        shutil.copyfile(stand_in, Path(served) / name)


def write_pace(served, faults_file, bytes_per_second=60000):
    """Writes a faults file for the test server that paces every mod, so that a player (and
    the headless demo's screenshots) can watch the progress bars fill."""
    mods = sorted(p.name for p in (Path(served) / "mods3").iterdir())
    pace = {"/mods3/" + name: {"slow": bytes_per_second} for name in mods}
    Path(faults_file).write_text(json.dumps(pace, ensure_ascii=False), encoding="utf-8")


def prepare_player(game, appdata):
    """Makes the game folder `game` and, in the Wine user's `appdata`, the launcher
    configuration that names it; removes the program's own data from earlier runs."""
    game = Path(game)
    shutil.rmtree(game, ignore_errors=True)
    for sub in ("versions/1.12.2", "assets", "mods/1.12.2"):
        (game / sub).mkdir(parents=True)
    shutil.copyfile(DEMO_SERVER / "mods3" / STRAY, game / "mods" / STRAY)
    (game / "mods" / "1.12.2" / DAMAGED).write_bytes(b"404: Not Found")
    for name in REMOVABLE:
        (game / "mods" / "1.12.2" / name).write_bytes(b"old")
    appdata = Path(appdata)
    shutil.rmtree(appdata / "Pellwick", ignore_errors=True)
    (appdata / ".tlauncher").mkdir(parents=True, exist_ok=True)
    # Java properties escape the drive colon and the backslashes.
    value = windows_path(game).replace("\\", "\\\\").replace(":", "\\:", 1)
    (appdata / ".tlauncher" / "legacy.properties").write_text(
        "minecraft.gamedir=%s\n" % value, encoding="utf-8")


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit("usage: demo_world.py SERVED STAND_IN FAULTS_FILE GAME APPDATA")
    prepare_server(sys.argv[1], sys.argv[2])
    write_pace(sys.argv[1], sys.argv[3])
    prepare_player(sys.argv[4], sys.argv[5])
