"""The benchmark's documents: a register of payment records with Cyrillic text, elements and
attributes, grown to a target size, and the same document with an unsigned signature
template as the root's last child for xmlsec1 (which signs templates)."""

import re

HEAD = '<?xml version="1.0" encoding="UTF-8"?>\n<Реестр xmlns="urn:quillet:bench" дата="2026-12-08">\n'
TAIL = "</Реестр>\n"
RECORD = ('  <Запись номер="{n}" статус="принято"><ФИО>Иванов{n} Иван Петрович</ФИО>'
          '<ИНН>77{inn:08d}</ИНН><Сумма валюта="RUB">{rub}.{kop:02d}</Сумма>'
          '<Назначение>Оплата по договору № {n} от 01.12.2026, без НДС</Назначение></Запись>\n')


def make_document(target_bytes, first=1):
    """A well-formed UTF-8 document of at least `target_bytes` bytes (the first record that
    reaches the size is the last), its records numbered from `first`."""
    parts = [HEAD]
    size = len(HEAD.encode()) + len(TAIL.encode())
    n = first - 1
    while size < target_bytes:
        n += 1
        record = RECORD.format(n=n, inn=n * 7919 % 10**8, rub=n * 37 % 100000, kop=n % 100)
        parts.append(record)
        size += len(record.encode())
    parts.append(TAIL)
    return "".join(parts)


def template_from_signature(signature):
    """Turns a signature element made by our host into the template it was made from: the
    digest, the signature value and the certificate emptied."""
    signature = re.sub(r"<DigestValue>[^<]*</DigestValue>", "<DigestValue/>", signature)
    signature = re.sub(r"<SignatureValue>[^<]*</SignatureValue>", "<SignatureValue/>",
                       signature)
    return re.sub(r"<X509Data>.*?</X509Data>", "<X509Data/>", signature, flags=re.S)


def with_template(document, template):
    """The document with the template appended as the root element's last child."""
    at = document.rindex(TAIL)
    return document[:at] + template + document[at:]
