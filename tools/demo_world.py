"""The demo's world: what the bundled demo server offers and the player's side it meets (a game
folder with one stray mod in the plain mods folder, one mod that is a saved error page and two
files the server wants removed, and the launcher configuration naming the folder). Used by
tools/demo and by the acceptance test, so the test proves what a newcomer runs.

The served manifest is made and signed by the pack tool with the demo key (demo/demo-pack-key.txt,
its public key in demo/demo-pack-key.pub), as a server admin would with the real one: the demo's
pack is a real pack, which the tool accepts, so it needs none of the tests' seal. The tool used is
the cross build's veltrane-pack.exe under Wine: the demo and the acceptance test run that build
anyway, while a native build need not exist ($VELTRANE_BUILD_DIR names the cross build;
build/cross when unset; $VELTRANE_PACK the tool itself)."""

import json
import shutil
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "gui"))
from harness import DEMO_KEY, pack_tool, run_tool, windows_path  # noqa: E402

DEMO_SERVER = ROOT / "demo" / "server"
TOOL = "Settingss.exe"
FORGE = "forge-1.12.2-14.23.2.2629-installer-win.exe"
STRAY = "stonework-1.12.2-1.0.3.jar"
DAMAGED = "bakery-1.12.2-2.0.jar"
REMOVABLE = ["old-minimap-1.10.2.jar", "legacy-items-1.10.2.jar"]


def sign(served):
    """Rebuilds the manifest of the folder `served` with the pack tool and signs it with the demo
    key, so that it holds the hash of every file served (a client built with the key takes no
    other file). The mods keep their order and lastversion its value."""
    tool = pack_tool()
    if not tool.is_file():
        raise RuntimeError("%s is missing: build the cross preset first" % tool)
    code, out = run_tool(tool, "build", Path(served), "--key", DEMO_KEY)
    if code != 0:
        raise RuntimeError("veltrane-pack build failed (%d):\n%s" % (code, out))


def prepare_server(served, stand_in):
    """Copies the bundled server folder to `served`, with `stand_in` (a harmless program) as
    the extra-settings tool and the Forge installer, and signs it anew with their hashes."""
    shutil.rmtree(served, ignore_errors=True)
    shutil.copytree(DEMO_SERVER, served)
    for name in (TOOL, FORGE):
        shutil.copyfile(stand_in, Path(served) / name)
    sign(served)


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
