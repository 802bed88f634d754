#!/usr/bin/env python3
"""Writes tests/detection-windows.txt: windows of log lines that mix ASCII log
text with Japanese sentences of 1 to 200 characters, each encoded with
Python's codecs as UTF-8, Shift-JIS (cp932) and EUC-JP. One window a line:

    name <TAB> encoding <TAB> Japanese characters <TAB> bytes in hex

The encoding is the one the window was written in ("UTF-8", "SJIS",
"EUC-JP"); the count is how many of its characters are not ASCII. The same
seed gives the same file: run it again after changing the words below."""

import os
import random

# Words of the kind Japanese logs hold: kanji, hiragana, katakana, full-width
# punctuation and digits; each is in all three encodings.
WORDS = [
    "要求", "を", "処理", "しました", "接続", "が", "切断", "されました", "ファイル", "の",
    "読み込み", "に", "失敗", "しました", "再試行", "します", "ユーザー", "ログイン", "完了",
    "設定", "変更", "警告", "エラー", "データベース", "タイムアウト", "、", "。", "「", "」",
    "（", "）", "：", "ｘ", "１２３", "東京", "大阪", "サーバー", "起動", "停止",
    "応答", "なし", "検索", "結果", "件", "メモリ", "不足", "です", "ます", "は", "で",
    "表示", "能力", "ソフト", "予定", "日本語", "文字化け", "確認", "してください",
]
ASCII_LINES = [
    "2026-12-09 14:03:{:02d} INFO  [worker-{}] ",
    "2026-12-09 14:03:{:02d} WARN  [http-{}] ",
    "2026-12-09 14:03:{:02d} ERROR [db-{}] ",
]
ENCODINGS = [("UTF-8", "utf-8"), ("SJIS", "cp932"), ("EUC-JP", "euc_jp")]
LENGTHS = [1, 2, 3, 4, 5, 8, 13, 30, 75, 200]


def sentence(rng, length):
    text = ""
    while len(text) < length:
        text += rng.choice(WORDS)
    return text[:length]


def window(rng, length, lines):
    """A few log lines; one of them carries a Japanese sentence of length characters."""
    out = []
    carrier = rng.randrange(lines)
    for i in range(lines):
        line = rng.choice(ASCII_LINES).format(rng.randrange(60), rng.randrange(9))
        line += sentence(rng, length) if i == carrier else "request id={} ok".format(rng.randrange(10**6))
        out.append(line + "\n")
    return "".join(out)


def main():
    rng = random.Random(18)
    rows = []
    for length in LENGTHS:
        for variant in range(3):
            text = window(rng, length, 1 + variant * 2)
            for label, codec in ENCODINGS:
                data = text.encode(codec)
                japanese = sum(1 for c in text if ord(c) > 0x7F)
                rows.append(f"{label} {length} chars #{variant}\t{label}\t{japanese}\t{data.hex()}")
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "detection-windows.txt")
    with open(path, "w", encoding="ascii") as out:
        out.write("\n".join(rows) + "\n")
    print(f"{len(rows)} windows in {os.path.normpath(path)}")


if __name__ == "__main__":
    main()
