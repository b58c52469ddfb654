"""Drives the demo without a display: the typical use, step by step, with a screenshot of each
step and the status console printed at the end."""

import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "gui"))
import harness  # noqa: E402

MAIN_CLASS = "TProTarvoCompatibility"
CONSOLE_ID = 1013


def wait_for(read, expected, timeout=30.0):
    limit = time.monotonic() + timeout
    value = read()
    while value != expected and time.monotonic() < limit:
        time.sleep(0.1)
        value = read()
    return value


def main(exe, work):
    with harness.Session(name=None) as s:
        app = s.launch(exe, cwd=work)
        main = s.call("wait_window", cls=MAIN_CLASS, visible=True, timeout_ms=60000)["hwnd"]

        def size():
            rect = s.call("props", hwnd=main)["rect"]
            return rect["w"], rect["h"]

        def shot(step, hwnd=None):
            s.screenshot(step, rect=s.call("props", hwnd=hwnd or main)["rect"])

        wait_for(size, (406, 294))
        shot("folder-valid")
        actions = s.call("find", parent=main, text="Действия")["hwnd"]
        s.call("mouse", hwnd=actions, kind="move", x=3, y=60)
        wait_for(size, (830, 294))
        time.sleep(1.0)  # let the last animation steps settle before the picture
        shot("wide")
        console = s.call("find", parent=main, id=CONSOLE_ID)["hwnd"]

        def console_text():
            return s.call("text", hwnd=console)["text"]

        def wait_text(part, timeout=120.0):
            limit = time.monotonic() + timeout
            while part not in console_text() and time.monotonic() < limit:
                time.sleep(0.2)

        s.call("click", hwnd=s.call("find", parent=main, text="Проверить совместимость")["hwnd"])
        wait_text("Можно удалить файлов")
        time.sleep(0.5)
        shot("checked")
        s.call("click", hwnd=s.call("find", parent=main, text="Запуск синхронизации")["hwnd"])
        time.sleep(1.5)
        shot("downloading")
        dialog = s.call("wait_window", cls="TProTarvoCompatibility2", visible=True,
                        timeout_ms=180000)["hwnd"]
        time.sleep(1.5)
        shot("cleanup", dialog)
        s.call("click", hwnd=s.call("find", parent=dialog, text="Удалить")["hwnd"])
        wait_text("Кол-во удаленных файлов")
        wait_for(size, (830, 294))
        time.sleep(1.0)
        shot("done")
        print("---- status console ----")
        print(s.call("text", hwnd=console)["text"].replace("\r\n", "\n"))
        print("------------------------")
        s.call("click", hwnd=s.call("find", parent=main, text="Выход")["hwnd"])
        code = app.wait(60)
        print("demo: the program ended with exit code %d; screenshots in %s" % (code, s.artifacts))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
