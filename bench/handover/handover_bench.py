"""Times a second start of the program with a picture, from the moment it is
started to the running viewer's new title, against the time the same picture
takes to load inside the viewer (a keyboard step to the next file of the folder,
from the key's delivery to the new title). Both are seen through the same title
watcher, so its latency cancels. Run inside xvfb-session.sh:

    handover_bench.py VIEWER PICTURE WORKDIR [ROUNDS]
"""
import os
import queue
import shutil
import statistics
import subprocess
import sys
import threading
import time

viewer_build, picture, work = sys.argv[1:4]
rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 30

shutil.rmtree(work, ignore_errors=True)
os.makedirs(os.path.join(work, "pictures"))
os.makedirs(os.path.join(work, "run"), mode=0o700)
viewer = os.path.join(work, "tavotavo")
shutil.copy(viewer_build, viewer)
shutil.copy(os.path.join(os.path.dirname(viewer_build), "tavotavo-viewer"), work)
names = ["a.jpg", "b.jpg"]
for name in names:
    shutil.copy(picture, os.path.join(work, "pictures", name))
env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(work, "run"), XDG_CONFIG_HOME=os.path.join(work, "config"))
first = os.path.join(work, "pictures", names[0])

main = subprocess.Popen([viewer, first], env=env, cwd=work)
try:
    window = None
    for _ in range(200):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(main.pid), "--name", "^TavoTavo"],
                               capture_output=True, text=True).stdout.split()
        if found and os.path.exists(os.path.join(work, "run", "TfrmTavo2MainForm")):
            window = found[0]
            break
        time.sleep(0.05)
    if window is None:
        sys.exit("no viewer window")

    titles = queue.Queue()
    spy = subprocess.Popen(["xprop", "-spy", "-id", window, "_NET_WM_NAME"], stdout=subprocess.PIPE, text=True)

    def watch():
        for line in spy.stdout:
            titles.put((time.perf_counter(), line.strip()))

    threading.Thread(target=watch, daemon=True).start()

    def title_with(name, timeout=10.0):
        end = time.perf_counter() + timeout
        while True:
            try:
                at, line = titles.get(timeout=max(0.0, end - time.perf_counter()))
            except queue.Empty:
                return None
            if name + "(" in line:
                return at

    title_with(names[0], 10.0)
    time.sleep(0.5)

    handover, messenger_exit, forward_only, in_viewer = [], [], [], []
    keys_work = True
    for i in range(rounds):
        target = names[1]
        start = time.perf_counter()
        subprocess.run([viewer, os.path.join(work, "pictures", target)], env=env, cwd=work, check=True)
        ended = time.perf_counter()
        seen = title_with(target)
        if seen is None:
            sys.exit("the title never changed to " + target)
        handover.append((seen - start) * 1000)
        messenger_exit.append((ended - start) * 1000)

        start = time.perf_counter()
        subprocess.run([viewer], env=env, cwd=work, check=True)
        forward_only.append((time.perf_counter() - start) * 1000)

        # The same picture loaded by the viewer itself: back to the previous
        # file of the folder (BackSpace), timed from the key's delivery.
        back = names[0]
        seen = None
        if keys_work:
            subprocess.run(["xdotool", "key", "--window", window, "BackSpace"], check=True)
            sent = time.perf_counter()
            seen = title_with(back, 3.0)
            keys_work = seen is not None
        if seen is not None:
            in_viewer.append((seen - sent) * 1000)
        else:  # no keyboard step in this build: put the viewer back by hand-over
            subprocess.run([viewer, os.path.join(work, "pictures", back)], env=env, cwd=work, check=True)
            title_with(back)
        time.sleep(0.05)

    def show(label, values):
        print(f"{label:42s} median {statistics.median(values):7.1f} ms   "
              f"min {min(values):7.1f}   max {max(values):7.1f}   n={len(values)}")

    print(f"picture: {picture}")
    show("second start -> new title", handover)
    show("second start -> second copy ended", messenger_exit)
    show("second start, no argument -> ended", forward_only)
    if in_viewer:
        show("load inside the viewer (key -> title)", in_viewer)
        print(f"hand-over overhead: {statistics.median(handover) - statistics.median(in_viewer):.1f} ms "
              f"(median of the hand-over minus median of the load inside the viewer)")
    else:
        print("no keyboard step in this build; load inside the viewer estimated as the hand-over minus the "
              f"no-argument round trip: {statistics.median(handover) - statistics.median(forward_only):.1f} ms; "
              f"overhead = the no-argument round trip: {statistics.median(forward_only):.1f} ms")
    spy.kill()
finally:
    main.terminate()
    main.wait()
