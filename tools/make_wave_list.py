#!/usr/bin/env python3
"""Write the sound container resources/wave_list.bin from synthesised Russian voice prompts.

Each prompt is its name spoken by espeak-ng (Russian voice), converted by sox to raw unsigned
8-bit mono PCM at 8000 Hz (silence 0x80), peak-normalised below full scale, with the silence
espeak puts around the speech cut off. The container must come out at exactly CONTAINER_SIZE
bytes, so the script picks the slowest speaking rate whose speech still fits with a minimum
pause per prompt, then spends the bytes left over as silence: a short lead-in and a longer
tail, shared evenly over the prompts (the remainder one byte each to the first prompts).

Container layout (little-endian):
    head       0   u32 DataLength (bytes after the head), 4 u32 DataCrc over those bytes
    directory  8   u16 SoundCount, 10 u16 1, 12 SoundCount x (u32 SoundId, u32 SoundOffset)
               offsets count from the first byte after the directory; records are back to back
    record     0   u32 RecordSize (whole record), 4 u16 SoundId, 6 u16 NameLength,
               8   name in Windows-1251 + three zero bytes, then the samples

The checksum is the reflected CRC-32 (polynomial 0xEDB88320) started at 0 with no final XOR.

Needs espeak-ng and sox on the PATH. espeak output differs a little between versions, so a
rerun may give other samples; the committed container is the product, this script how it was
made. Usage:
    python3 tools/make_wave_list.py [output]   (default: resources/wave_list.bin)
"""

import struct
import subprocess
import sys
import tempfile
from pathlib import Path

CONTAINER_SIZE = 648_494
SAMPLE_RATE = 8000
SILENCE = 0x80
PEAK_DB = -4.0                    # normalised peak, well clear of clipping
TRIM_THRESHOLD = 2                # |sample - 0x80| at or below this counts as silence
MIN_PAUSE = SAMPLE_RATE // 8      # at least 125 ms of silence per prompt after fitting
LEAD_IN_MAX = SAMPLE_RATE // 25   # at most 40 ms of silence before the speech
RATES = range(120, 261, 5)        # espeak words per minute tried, slowest first
NAME_PADDING = 3                  # zero bytes after each name

SOUNDS = [
    (1, "главное меню"), (2, "закрыть"), (4, "завести двигатель"), (5, "остановить двигатель"),
    (6, "состояние"), (7, "открыть"),
    (100, "сработал датчик"), (101, "охрана включена"), (102, "охрана отключена"),
    (103, "тревога"), (104, "внимание"), (105, "удара"), (106, "движения"), (107, "наклона"),
    (108, "открыт капот"), (109, "открыт багажник"), (110, "открыта дверь"),
    (111, "включено зажигание"), (112, "нажата педаль тормоза"),
    (200, "двигатель"), (201, "работает"), (202, "остановлен"), (203, "не запущен"),
    (209, "настройки"), (210, "настроить"), (211, "настройка"), (212, "автозапуск"),
    (213, "автозапуска"), (216, "запрещено"), (218, "выбрать"), (219, "тип"),
    (220, "автоматический"), (221, "по"), (222, "таймеру"), (223, "температуре"),
    (224, "ручной"), (225, "команде"), (226, "период"), (227, "температура"), (228, "час"),
    (229, "часа"), (230, "градусов"), (231, "каждый"), (232, "каждые"), (233, "включен"),
    (234, "отключен"), (235, "отключить"), (236, "уровень"), (237, "минимальный"),
    (238, "максимальный"), (239, "акселерометр"), (240, "датчик"), (241, "напряжение"),
    (242, "введите"), (243, "пин"), (244, "код"), (245, "запросить баланс"),
    (246, "добавить"), (247, "удалить все"), (248, "брелки"), (249, "блокировка"),
    (250, "включить"), (251, "включена"), (252, "отключена"), (253, "внешнего"),
    (254, "датчика"), (255, "модель автомобиля"), (256, "местоположение"),
    (257, "калина гранта приора"), (258, "веста"), (259, "xray"),
    (998, "и"), (999, "минус"), (1000, "ноль"), (1001, "один"), (1002, "два"), (1003, "три"),
    (1004, "четыре"), (1005, "пять"), (1006, "шесть"), (1007, "семь"), (1008, "восемь"),
    (1009, "девять"), (1010, "десять"), (1011, "одиннадцать"), (1012, "двенадцать"),
    (1013, "тринадцать"), (1014, "четырнадцать"), (1015, "пятнадцать"), (1016, "шестнадцать"),
    (1017, "семнадцать"), (1018, "восемнадцать"), (1019, "девятнадцать"), (1022, "двадцать"),
    (1023, "тридцать"), (1024, "сорок"), (1025, "пятьдесят"), (1026, "шестьдесят"),
    (1027, "семьдесят"), (1028, "восемьдесят"), (1029, "девяносто"), (1030, "сто"),
]

# What the voice is given where the name itself would be read wrongly.
SPOKEN = {"xray": "икс рэй"}

HEAD_SIZE = 8
DIRECTORY_SIZE = 4 + 8 * len(SOUNDS)
RECORD_HEAD_SIZE = 8


def crc32_plain(data: bytes) -> int:
    table = []
    for i in range(256):
        c = i
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    crc = 0
    for b in data:
        crc = table[(b ^ crc) & 0xFF] ^ (crc >> 8)
    return crc


def synthesise(text: str, rate: int, work: Path) -> bytes:
    """Speech for text as 8-bit unsigned samples, without the silence around it."""
    wav = work / "speech.wav"
    subprocess.run(["espeak-ng", "-v", "ru", "-s", str(rate), "-w", str(wav), text], check=True)
    # -D: no dither, so silence stays exactly 0x80 and reruns give the same bytes.
    raw = subprocess.run(["sox", str(wav), "-D", "-t", "raw", "-e", "unsigned-integer", "-b", "8",
                          "-c", "1", "-", "rate", "-v", str(SAMPLE_RATE), "gain", "-n", str(PEAK_DB)],
                         check=True, capture_output=True).stdout
    loud = [i for i, s in enumerate(raw) if abs(s - SILENCE) > TRIM_THRESHOLD]
    if not loud:
        raise RuntimeError(f"no speech for {text!r}")
    return raw[loud[0]:loud[-1] + 1]


def encoded_names() -> list[bytes]:
    return [(name + ".wav").encode("cp1251") + bytes(NAME_PADDING) for _, name in SOUNDS]


def sample_budget() -> int:
    """Sample bytes the container has room for once heads, directory and names are laid out."""
    fixed = HEAD_SIZE + DIRECTORY_SIZE + sum(RECORD_HEAD_SIZE + len(n) for n in encoded_names())
    return CONTAINER_SIZE - fixed


def fit(work: Path) -> tuple[int, list[bytes]]:
    """The slowest rate whose speech leaves MIN_PAUSE per prompt, with the samples padded to fit."""
    budget = sample_budget()
    for rate in RATES:
        speech = [synthesise(SPOKEN.get(name, name), rate, work) for _, name in SOUNDS]
        spare = budget - sum(len(s) for s in speech)
        print(f"rate {rate}: {sum(len(s) for s in speech)} speech bytes, {spare} spare", file=sys.stderr)
        if spare >= MIN_PAUSE * len(SOUNDS):
            break
    else:
        raise RuntimeError("speech does not fit at any rate tried")
    share, remainder = divmod(spare, len(SOUNDS))
    samples = []
    for index, s in enumerate(speech):
        pause = share + (1 if index < remainder else 0)
        lead = min(LEAD_IN_MAX, pause // 4)
        samples.append(bytes([SILENCE]) * lead + s + bytes([SILENCE]) * (pause - lead))
    return rate, samples


def build(samples: list[bytes]) -> bytes:
    records = []
    for (sound_id, _), name, pcm in zip(SOUNDS, encoded_names(), samples):
        size = RECORD_HEAD_SIZE + len(name) + len(pcm)
        records.append(struct.pack("<IHH", size, sound_id, len(name)) + name + pcm)
    directory = bytearray(struct.pack("<HH", len(SOUNDS), 1))
    offset = 0
    for (sound_id, _), record in zip(SOUNDS, records):
        directory += struct.pack("<II", sound_id, offset)
        offset += len(record)
    data = bytes(directory) + b"".join(records)
    container = struct.pack("<II", len(data), crc32_plain(data)) + data
    if len(container) != CONTAINER_SIZE:
        raise RuntimeError(f"container is {len(container)} bytes, not {CONTAINER_SIZE}")
    return container


def main() -> int:
    ids = [i for i, _ in SOUNDS]
    assert ids == sorted(set(ids)), "sound ids must be unique and ascending"
    default = Path(__file__).resolve().parent.parent / "resources" / "wave_list.bin"
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else default
    with tempfile.TemporaryDirectory() as tmp:
        rate, samples = fit(Path(tmp))
    target.write_bytes(build(samples))
    seconds = [len(s) / SAMPLE_RATE for s in samples]
    print(f"{target}: {CONTAINER_SIZE} bytes, rate {rate} wpm, prompts {min(seconds):.2f} to "
          f"{max(seconds):.2f} s, {sum(seconds):.1f} s in all")
    return 0


if __name__ == "__main__":
    sys.exit(main())
