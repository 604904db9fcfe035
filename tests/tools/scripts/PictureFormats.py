#!/usr/bin/python3
# PNG, WebP, GIF and AVIF pictures as a user adds them and sets them (run on a virtual display):
#   PictureFormats.py VORLANE-GSK VORLANE-WALLPAPER
#   PictureFormats.py --windows VORLANE-GSK.EXE VORLANE-WALLPAPER.EXE    (under wine, WINEPREFIX set)
# - `vorlane-gsk add` makes thumbnails that equal, pixel for pixel, the thumbnail's sampling (target pixel
#   t of n source pixels takes pixel (2t+1)n/64) of a full decode by another decoder (Pillow, dwebp,
#   avifdec), transparent parts laid over white: c*a + 255*(255-a), over 255, rounded;
# - `vorlane-wallpaper set --tile` shows them tiled on the X root window, transparent parts over black;
# - damaged and truncated pictures give the format's message and change neither the gallery, nor
#   "Temp.bmp", nor the screen; a picture is known by its content, a bitmap still by its name.
# The Windows build (no AVIF there) is checked the same way, but the wallpaper through what the system
# is given: "Temp.bmp" and the registry's "Wallpaper", and each placement's "WallpaperStyle" and
# "TileWallPaper" as Windows records them.
# Exits 77 (skipped) when a program it needs is missing, unless CI is set: then it fails.
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zlib

WINDOWS = sys.argv[1] == "--windows"
GSK, WALLPAPER = sys.argv[1 + WINDOWS], sys.argv[2 + WINDOWS]
failures = []


def need(condition, what):
    if not condition:
        if os.environ.get("CI"):
            sys.exit(f"missing: {what} (scripts/setup-debian.sh installs it)")
        print(f"skipped: missing {what}")
        sys.exit(77)


try:
    from PIL import Image, ImageOps
except ImportError:
    need(False, "python3-pil")
for program in ("dwebp", "wine") if WINDOWS else ("dwebp", "avifenc", "avifdec", "import"):
    need(shutil.which(program), program)


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def run(*arguments, env=None):
    if WINDOWS:  # the programs under wine, given this machine's files on drive Z:
        arguments = ["wine"] + [windows_path(a) if a.startswith(folder) else a for a in arguments]
    return subprocess.run(arguments, capture_output=True, env=env)


def text(output):
    """What a program wrote: UTF-8, or the ANSI code page (Shift_JIS) of the Windows build."""
    return output.decode("cp932" if WINDOWS else "utf-8", errors="replace")


def desktop_values():
    """The values of the Windows registry's "Control Panel\\Desktop", as reg.exe shows them."""
    shown = text(run("reg", "query", "HKCU\\Control Panel\\Desktop").stdout)
    fields = (line.strip().split(None, 2) for line in shown.splitlines())
    return {field[0]: field[2] for field in fields if len(field) == 3 and field[1].startswith("REG_")}


def pam_rgba(path):
    """The pixels of a PAM file as dwebp writes it (RGB_ALPHA, 8 bits)."""
    data = open(path, "rb").read()
    header, _, pixels = data.partition(b"ENDHDR\n")
    fields = dict(line.split(b" ", 1) for line in header.split(b"\n")[1:] if b" " in line)
    width, height = int(fields[b"WIDTH"]), int(fields[b"HEIGHT"])
    image = Image.frombytes("RGBA", (width, height), pixels[: width * height * 4])
    return image


def over(pixel, background):
    r, g, b, a = pixel
    return tuple((c * a + background * (255 - a) + 127) // 255 for c in (r, g, b))


def thumbnail(image):
    width, height = image.size
    pixels = image.load()
    return [over(pixels[(2 * tx + 1) * width // 64, (2 * ty + 1) * height // 64], 255)
            for ty in range(32) for tx in range(32)]


folder = tempfile.mkdtemp(prefix="vorlane-picture-formats-")
if WINDOWS:
    # One wine server, and the system's own processes, for every run; those started by a run would hold
    # its output open for seconds after it.
    subprocess.run(["wineserver", "-p"], check=True)
    subprocess.run(["wine", "cmd", "/c", "exit"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
try:
    random.seed(24)

    def picture(width, height, alphas=(0, 37, 128, 255)):
        image = Image.new("RGBA", (width, height))
        image.putdata([(random.randrange(256), random.randrange(256), random.randrange(256), random.choice(alphas))
                       for _ in range(width * height)])
        return image

    def path(name):
        return os.path.join(folder, name)

    # How each picture is made, and how the other decoder reads it back (RGBA).
    def pillow(name):
        return Image.open(path(name)).convert("RGBA")

    def by_dwebp(name):
        subprocess.run(["dwebp", "-quiet", "-pam", path(name), "-o", path(name + ".pam")], check=True)
        return pam_rgba(path(name + ".pam"))

    def by_avifdec(name):
        subprocess.run(["avifdec", path(name), path(name + ".png")], check=True, capture_output=True)
        return Image.open(path(name + ".png")).convert("RGBA")

    def make_avif(name, image, *options):
        image.save(path(name + ".source.png"))
        subprocess.run(["avifenc", *options, path(name + ".source.png"), path(name)], check=True, capture_output=True)

    def make_gif(name, image, **options):
        quantised = image.convert("RGB").quantize(255)
        quantised.putpalette(quantised.getpalette()[: 255 * 3] + [0, 0, 0])
        alpha = image.getchannel("A").load()
        pixels = quantised.load()
        for y in range(image.height):
            for x in range(image.width):
                if alpha[x, y] < 128:
                    pixels[x, y] = 255
        quantised.save(path(name), transparency=255, **options)

    hostile = "a '$(touch x)' `y` \"q\"\n\udce9.png"  # the last byte is no UTF-8
    if WINDOWS:  # no quotes, control characters or undecodable bytes in Windows names
        hostile = "写真 '$(touch x)' `y` ;&.png"
    still = picture(97, 61)
    pictures = [
        # name, made by, read back by
        ("rgba.png", lambda n: still.save(path(n)), pillow),
        ("grey-alpha-16bit-interlaced.png",
         lambda n: subprocess.run(["convert", path("rgba.png"), "-colorspace", "Gray", "-depth", "16",
                                   "-define", "png:color-type=4", "-interlace", "PNG", path(n)], check=True), pillow),
        ("palette.png", lambda n: picture(40, 300, (0, 255)).quantize(16).save(path(n), transparency=3), pillow),
        (hostile, lambda n: picture(33, 65).save(path(n)), pillow),
        ("lossless.webp", lambda n: still.save(path(n), lossless=True), by_dwebp),
        ("lossy-alpha.webp", lambda n: picture(300, 20).save(path(n), quality=70), by_dwebp),
        ("animated.webp", lambda n: picture(64, 48).save(path(n), save_all=True, lossless=True,
                                                         append_images=[picture(64, 48)], duration=100), pillow),
        ("interlaced.gif", lambda n: make_gif(n, still, interlace=True), pillow),
        ("animated.gif", lambda n: make_gif(n, picture(50, 50), save_all=True, append_images=[picture(50, 50)],
                                            interlace=False), pillow),
        ("alpha.avif", lambda n: make_avif(n, still), by_avifdec),
        ("lossless-420.avif", lambda n: make_avif(n, picture(64, 37), "-y", "420"), by_avifdec),
        ("PNG named.jpg", lambda n: still.save(path(n), format="PNG"), pillow),
    ]
    # Photos with an Exif orientation, each as seen upright (Pillow turns them by the tag).
    photo = picture(90, 50, (255,)).convert("RGB")

    def make_oriented(orientation):
        def make(name):
            exif = Image.Exif()
            exif[0x0112] = orientation
            photo.save(path(name), quality=95, subsampling=0, exif=exif.tobytes())
        return make

    def upright(name):
        return ImageOps.exif_transpose(Image.open(path(name))).convert("RGBA")

    pictures += [(f"orientation-{o}.jpg", make_oriented(o), upright) for o in range(1, 9)]
    if WINDOWS:
        pictures = [p for p in pictures if not p[0].endswith(".avif")]
    references = []
    for name, make, read in pictures:
        make(name)
        references.append(read(name))

    gallery = path("g.gsk")
    added = run(GSK, "add", gallery, *[path(name) for name, _, _ in pictures])
    check(added.returncode == 0, f"vorlane-gsk add: {text(added.stderr)}")
    sheet_file = path("sheet.png")
    run(GSK, "thumbs", gallery, sheet_file)
    sheet = Image.open(sheet_file).convert("RGB")
    for i, ((name, _, _), reference) in enumerate(zip(pictures, references)):
        shown = [sheet.getpixel((32 * (i + 1) + x, y)) for y in range(32) for x in range(32)]
        wrong = sum(1 for a, b in zip(shown, thumbnail(reference)) if a != b)
        check(wrong == 0, f"thumbnail of {name!r}: {wrong} of 1024 pixels differ from the other decoder's")

    # Damaged pictures: the format's message, and the gallery as it was.
    def truncated(source, name):
        data = open(path(source), "rb").read()
        open(path(name), "wb").write(data[: len(data) // 2])

    def damaged(source, name, at, byte):
        data = bytearray(open(path(source), "rb").read())
        data[at] ^= byte
        open(path(name), "wb").write(bytes(data))

    def png_header(width, height):
        """A PNG's signature and header, claiming width x height RGBA pixels, then an empty IDAT."""
        header = b"IHDR" + width.to_bytes(4, "big") + height.to_bytes(4, "big") + bytes([8, 6, 0, 0, 0])
        return (b"\x89PNG\r\n\x1a\n" + (13).to_bytes(4, "big") + header + zlib.crc32(header).to_bytes(4, "big") +
                bytes(4) + b"IDAT" + zlib.crc32(b"IDAT").to_bytes(4, "big"))

    bad = [
        # name, made from, expected message
        ("cut.png", lambda n: truncated("rgba.png", n), "PNG エラー: "),
        ("crc.png", lambda n: damaged("rgba.png", n, 29, 0xFF), "PNG エラー: IHDR: CRC error"),
        ("huge.png", lambda n: open(path(n), "wb").write(png_header(60000, 60000)),
         "PNG エラー: 画像が大きすぎます (60000x60000)"),
        ("claims.png", lambda n: open(path(n), "wb").write(png_header(10000, 10000)),
         "PNG エラー: ファイルが画像の途中で終わっています"),
        ("cut.webp", lambda n: truncated("lossless.webp", n), "WebP エラー: ファイルが画像の途中で終わっています"),
        ("cut.gif", lambda n: truncated("interlaced.gif", n), "GIF エラー: "),
        ("screen.gif", lambda n: open(path(n), "wb").write(b"GIF89a\xff\xff\xff\xff\x00\x00\x00;"),
         "GIF エラー: 画像が大きすぎます (65535x65535)"),
        ("cut.avif", lambda n: truncated("alpha.avif", n), "AVIF エラー: "),
        ("PNG named.bmp", lambda n: still.save(path(n), format="PNG"), "ビットマップイメージが不正です"),
        ("text.png", lambda n: open(path(n), "w").write("no picture"), "JPEG エラー #"),
    ]
    if WINDOWS:
        bad = [b for b in bad if not b[0].endswith(".avif")]
    before = open(gallery, "rb").read()
    for name, make, message in bad:
        make(name)
        result = run(GSK, "add", gallery, path(name))
        errors = text(result.stderr)
        check(result.returncode == 1 and message in errors, f"add {name}: status {result.returncode}, {errors!r}")
        check(open(gallery, "rb").read() == before, f"add {name} changed the gallery")

    # The wallpaper, tiled on the root window of the virtual display (on Windows, what the system is
    # given), then damaged pictures change nothing.
    program = path("program")
    os.mkdir(program)
    shutil.copy(WALLPAPER, program)
    env = dict(os.environ, XDG_CONFIG_HOME=path("config"))
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    tool = os.path.join(program, os.path.basename(WALLPAPER))

    def screen():
        shot = subprocess.run(["import", "-window", "root", "png:-"], check=True, capture_output=True).stdout
        open(path("screen.png"), "wb").write(shot)
        return Image.open(path("screen.png")).convert("RGB")

    temp_file = os.path.join(program, "Temp.bmp")

    def wrong_wallpaper_pixels(reference):
        width, height = reference.size
        pixels = reference.load()
        if WINDOWS:
            # The system is handed "Temp.bmp": the whole picture, transparent parts over black.
            recorded = desktop_values().get("Wallpaper", "")
            check(recorded.lower() == windows_path(temp_file).lower(), f"the registry's wallpaper is {recorded!r}")
            shown = Image.open(temp_file).convert("RGB")
            if shown.size != reference.size:
                return width * height
            return sum(1 for y in range(height) for x in range(width)
                       if shown.getpixel((x, y)) != over(pixels[x, y], 0))
        shown = screen()
        return sum(1 for y in range(0, 240) for x in range(0, 320)
                   if shown.getpixel((x, y)) != over(pixels[x % width, y % height], 0))

    def desktop_state():
        return desktop_values().get("Wallpaper") if WINDOWS else screen().tobytes()

    for (name, _, _), reference in zip(pictures, references):
        if name in ("palette.png", "animated.gif") or name.startswith("orientation-") and name[-5] not in "16":
            continue  # the same decoding as others; the thumbnails cover them
        result = run(tool, "set", "--tile", path(name), env=env)
        check(result.returncode == 0, f"set {name!r}: status {result.returncode}, {result.stderr!r}")
        wrong = wrong_wallpaper_pixels(reference)
        check(wrong == 0, f"wallpaper of {name!r}: {wrong} pixels differ")

    if WINDOWS:
        # Each placement recorded as Windows records it before the system's call draws it.
        for option, style, tile in (("--fill", "10", "0"), ("--fit", "6", "0"), ("--stretch", "2", "0"),
                                    ("--span", "22", "0"), ("--tile", "0", "1"), ("--centre", "0", "0")):
            result = run(tool, "set", option, path("rgba.png"))
            values = desktop_values()
            recorded = (values.get("WallpaperStyle"), values.get("TileWallPaper"))
            check(result.returncode == 0 and recorded == (style, tile),
                  f"set {option}: status {result.returncode}, WallpaperStyle and TileWallPaper {recorded}")

    temp = open(temp_file, "rb").read()
    shown = desktop_state()
    for name, _, message in bad:
        if name == "PNG named.bmp":
            continue  # a bitmap goes to the desktop as it is, as before
        result = run(tool, "set", path(name), env=env)
        errors = text(result.stderr)
        check(result.returncode == 1 and message in errors, f"set {name}: status {result.returncode}, {errors!r}")
        check(open(temp_file, "rb").read() == temp, f"set {name} changed Temp.bmp")
    check(desktop_state() == shown, "a damaged picture changed the wallpaper")
finally:
    if WINDOWS:
        subprocess.run(["wineserver", "-k"])
    shutil.rmtree(folder, ignore_errors=True)

print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
