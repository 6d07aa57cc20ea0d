"""The exchange file as a reader outside the product sees it, for the end-to-end tests."""


def read_exchange(data):
    # Fields split at TAB and records at CRLF outside quotes; a tripled quote is a quote
    # and does not open or close; then one enclosing pair of quotes goes.
    records, fields, raw, inside, i = [], [], bytearray(), False, 0
    while i < len(data):
        if data.startswith(b'"""', i):
            raw += b'"""'; i += 3; continue
        c = data[i:i + 1]
        if c == b'"':
            inside = not inside
        elif not inside and c == b"\t":
            fields.append(bytes(raw)); raw = bytearray(); i += 1; continue
        elif not inside and data.startswith(b"\r\n", i):
            fields.append(bytes(raw)); records.append(fields); fields, raw = [], bytearray(); i += 2; continue
        raw += c
        i += 1
    if raw:
        fields.append(bytes(raw))
        records.append(fields)
    def unquote(v):
        v = v.replace(b'"""', b'"')
        return v[1:-1] if len(v) >= 2 and v.startswith(b'"') and v.endswith(b'"') else v
    return [[unquote(v) for v in r] for r in records]
