#!/usr/bin/env python3
"""Write resources/parameter_list.xml, the embedded description of the unit's settings.

The document is Windows-1251 with CR LF line ends, indented with tabs and spaces, every
`parameter` spreading its attributes over several lines. Descriptions are written exactly as the
program reads them: a backslash followed by "n" is the two characters (the loader unfolds it), and
the three sensitivity descriptions run over four source lines, each ending in backslash-n-backslash.

    python3 tools/make_parameter_list.py [output]   (default: resources/parameter_list.xml)
"""

import sys
from pathlib import Path

CRLF = "\r\n"
BS = "\\"      # one backslash
NL = BS + "n"  # the two characters backslash and n

ENUMS = {
    "can_mode": [
        (0, "CAN выключен"),
        (1, "LADA Калина, Гранта"),
        (2, "Vesta"),
        (3, "XRay"),
        (4, "S500"),
        (5, "C250"),
    ],
    "note_value": [
        (0, "Не оповещать"),
        (1, "SMS активному абоненту"),
        (2, "Вызов активному абоненту"),
        (3, "SMS и вызов активному абоненту"),
        (4, "SMS всем абонентам"),
        (5, "Вызов всем абонентам"),
        (6, "SMS и вызов всем абонентаму"),
    ],
    "on_off_value": [
        (0, "Отключено"),
        (1, "Включено"),
    ],
}


def user_number(ordinal):
    return (f"Сотовый номер {ordinal} пользователя.{NL}"
            "В международном формате (+7 и еще 10 цифр)")


def sensitivity(what):
    lines = [f"Чувствительность датчика {what}:{NL}{BS}",
             f"1 - минимальная{NL}{BS}",
             f"9 - максимальная{NL}{BS}",
             "0 - выключен"]
    return CRLF.join(lines)


def note(name):
    return f'Параметры оповещения при событии "{name}"'


# (key, type, enum, default, min, max, name, description)
CONNECTION = [
    ("PinCod", "string", None, "", 4, 4, "Пин код ",
     f"Пароль, он же PIN для SIM.{NL}Четыре цифры, 5739 по умолчаню"),
    ("Balans", "string", None, "", 5, 8, "Запрос баланса",
     f"Содержимое USSD для запроса баланса{NL}Например *100#"),
    ("UserNumber1", "string", None, "", 12, 16, "Пользователь 1", user_number("первого")),
    ("UserNumber2", "string", None, "", 12, 16, "Пользователь 2", user_number("второго")),
    ("UserNumber3", "string", None, "", 12, 16, "Пользователь 3", user_number("третьего")),
    ("UserNumber4", "string", None, "", 12, 16, "Пользователь 4", user_number("четвертого")),
    ("MicLevel", "number", None, "8", 1, 14, "Чувствительность микрофона",
     "Чувствительность микрофона.(1-14)"),
    # The first letter is the Latin H (0x48), kept byte for byte.
    ("CanMode", "enum", "can_mode", "1", 0, 1, "Режим CAN", "Hомер протокола CAN"),
]

NOTES = [(key, default, name) for key, default, name in [
    ("NoteSecurityOn", "0", "Включение охраны"),
    ("NoteSecurityOff", "0", "Отключение охраны"),
    ("NoteKick", "3", "Сработал датчик удара"),
    ("NoteMove", "3", "Сработал датчик движения"),
    ("NoteSlope", "3", "Сработал датчик наклона"),
    ("NoteBackDoor", "3", "Открыт багажник"),
    ("NoteHood", "3", "Открыт капот"),
    ("NoteDoor", "3", "Открыта дверь"),
    ("NoteAccLow", "1", "Аккумулятор разряжен"),
]]
NOTIFICATIONS = [(key, "enum", "note_value", default, 0, 6, name, note(name))
                 for key, default, name in NOTES]

SENSORS = [
    ("KickSens", "number", None, "7", 0, 9, "Чувствительность датчика удара",
     sensitivity("удара")),
    ("MoveSens", "number", None, "7", 0, 9, "Чувствительность датчика движения",
     sensitivity("движения")),
    ("SlopeSens", "number", None, "7", 0, 9, "Чувствительность датчика наклона",
     sensitivity("наклона")),
    ("AccLow", "number", None, "10700", 10500, 12500, "Напряжение разряда аккумулятора",
     "Напряжение аккумулятора при котором он считается разряженным, мВ"),
]

ARMING = [
    ("DoorDelay", "number", None, "0", 0, 100, "Обход зоны дверей",
     "Обход зоны дверей на заданное время при включении охраны (0-100с)."
     f"{NL}Например при подключения входа дверей к цепи салонного света"),
    ("Stoper", "enum", "on_off_value", "0", 0, 1, "Блокировка двигателя",
     "Состояние блокировщика двигателя"),
]

# Children of `parameters` in document order.
DOCUMENT = [
    ("enum", "can_mode"),
    ("group", "Настройки связи", CONNECTION),
    ("enum", "note_value"),
    ("group", "Оповещения", NOTIFICATIONS),
    ("group", "Датчики и уставки", SENSORS),
    ("enum", "on_off_value"),
    ("group", "Постановка и снятие", ARMING),
]


def quoted(value):
    """The value in quotes; single quotes when it holds a double quote (the texts hold no
    markup characters, so nothing needs an entity)."""
    assert "&" not in value and "<" not in value
    if '"' in value:
        assert "'" not in value
        return f"'{value}'"
    return f'"{value}"'


def parameter_lines(record):
    key, kind, enum, default, low, high, name, description = record
    attributes = [("key", key), ("type", kind)]
    if enum is not None:
        attributes.append(("enum", enum))
    attributes += [("default", default), ("min", str(low)), ("max", str(high)),
                   ("name", name), ("description", description)]
    opening = "\t\t\t<parameter "
    continuation = "\t\t\t           "   # tabs, then spaces up to the first attribute
    lines = []
    for index, (attribute, value) in enumerate(attributes):
        lead = opening if index == 0 else continuation
        tail = "/>" if index == len(attributes) - 1 else ""
        lines.append(f"{lead}{attribute}={quoted(value)}{tail}")
    return lines


def document():
    lines = ['<?xml version="1.0" encoding="ANSI"?>', "<resources>", "\t<parameters>"]
    for entry in DOCUMENT:
        if entry[0] == "enum":
            name = entry[1]
            lines.append(f"\t\t<enum name={quoted(name)}>")
            for value, text in ENUMS[name]:
                lines.append(f"\t\t\t<item value=\"{value}\" text={quoted(text)}/>")
            lines.append("\t\t</enum>")
        else:
            _, name, records = entry
            lines.append(f"\t\t<group name={quoted(name)}>")
            for record in records:
                lines.extend(parameter_lines(record))
            lines.append("\t\t</group>")
    lines += ["\t</parameters>", "</resources>"]
    return CRLF.join(lines) + CRLF


def main():
    default = Path(__file__).resolve().parent.parent / "resources" / "parameter_list.xml"
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else default
    output.write_bytes(document().encode("cp1251"))


if __name__ == "__main__":
    main()
