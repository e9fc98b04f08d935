#!/usr/bin/env python3
"""Writes docs/demo-archive.mbox: a small mail archive in the form the window reads (every mail
begins with the bytes 7F 20 7F), Japanese mails in ISO-2022-JP with encoded-word headers.
The window's screenshot (docs/screenshot.png) shows a search in it.

    python3 docs/make_demo_archive.py
"""

import base64
import os

HERE = os.path.dirname(os.path.abspath(__file__))
MARK = b'\x7f\x20\x7f'

PEOPLE = [('山田 太郎', 'taro@example.jp'), ('鈴木 花子', 'hanako@example.jp'),
          ('佐藤 一郎', 'ichiro@example.jp'), ('田中 美咲', 'misaki@example.jp'),
          ('高橋 健', 'ken@example.jp')]
DAYS = ['Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat', 'Sun']
MONTHS = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec']

MAILS = [
    ('会議室の予約について', '来週の定例会議の会議室を予約しました。\n'
     '議事録の検索ができるように、共有フォルダに置いておきます。\n'
     'よろしくお願いします。'),
    ('Re: 検索システムの件', '先日の検索システムの件ですが、\n全文検索の速度は十分でした。\n'
     '検索結果の一覧に送信日時を出すようにしてください。'),
    ('出張報告', '大阪出張の報告です。\n詳細は添付の資料をご覧ください。'),
    ('メールの検索が遅い', 'アーカイブが大きくなってきたので、\n'
     'メールの検索に時間がかかります。\n'
     '一度に読み込める大きさを確認してください。'),
    ('お昼の件', '今日のお昼は十二時半でお願いします。'),
    ('検索条件の追加', '差出人と件名でも検索できると便利です。\n検索文字は二文字以上です。'),
    ('年末の予定', '年末の予定を教えてください。'),
    ('Re: 検索条件の追加', '了解しました。\n検索開始ボタンの横に入力欄を置きます。'),
    ('資料送付のお願い', '先週の資料を送ってください。\nよろしくお願いします。'),
    ('アドレス帳の整理', 'アドレス帳を整理しました。\n古いアドレスは検索で見つけて消してください。'),
    ('新年会のお知らせ', '新年会は一月十日です。\n場所は後ほど連絡します。'),
    ('Re: メールの検索が遅い', '読み込みとカウントは一度だけなので、\n'
     '二回目からの検索は速くなります。'),
]


def encoded_word(text):
    jis = text.encode('iso2022_jp')
    return '=?ISO-2022-JP?B?' + base64.b64encode(jis).decode('ascii') + '?='


def mail(number, subject, body):
    name, address = PEOPLE[number % len(PEOPLE)]
    day = 3 + number
    date = '%s, %d %s 1999 %02d:%02d:%02d +0900' % (
        DAYS[(day + 2) % 7], day, MONTHS[11], 9 + number % 9, (number * 7) % 60, (number * 13) % 60)
    header = ('From: %s <%s>\r\nTo: team@example.jp\r\nSubject: %s\r\nDate: %s\r\n'
              'MIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n'
              % (encoded_word(name), address, encoded_word(subject), date))
    text = body.replace('\n', '\r\n') + '\r\n'
    return MARK + header.encode('ascii') + text.encode('iso2022_jp')


def main():
    data = b''.join(mail(i, s, b) for i, (s, b) in enumerate(MAILS))
    with open(os.path.join(HERE, 'demo-archive.mbox'), 'wb') as out:
        out.write(data)


if __name__ == '__main__':
    main()
