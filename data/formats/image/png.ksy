meta:
  id: png
  title: Portable Network Graphics image
  file-extension: png
  xref:
    mime: image/png
  endian: be
doc: |
  A signature, then chunks (length, type, data, CRC) up to IEND. The
  chunk types quirn knows are read into fields; the others stay bytes.
seq:
  - id: signature
    contents: [0x89, "PNG", 0x0d, 0x0a, 0x1a, 0x0a]
  - id: chunks
    type: chunk
    repeat: until
    repeat-until: _.type == "IEND" or _io.eof
types:
  chunk:
    seq:
      - id: length
        type: u4
      - id: type
        type: str
        size: 4
        encoding: ASCII
      - id: data
        size: length
        type:
          switch-on: type
          cases:
            '"IHDR"': header
            '"PLTE"': palette
            '"tEXt"': text
            '"pHYs"': physical_size
            '"tIME"': modified
            '"gAMA"': gamma
      - id: crc
        type: u4
  header:
    seq:
      - id: width
        type: u4
      - id: height
        type: u4
      - id: bit_depth
        type: u1
      - id: color_type
        type: u1
        enum: color_type
      - id: compression_method
        type: u1
      - id: filter_method
        type: u1
      - id: interlace_method
        type: u1
        enum: interlace
  palette:
    seq:
      - id: entries
        type: rgb
        repeat: eos
  rgb:
    seq:
      - id: r
        type: u1
      - id: g
        type: u1
      - id: b
        type: u1
  text:
    seq:
      - id: keyword
        type: str
        terminator: 0
        encoding: ISO-8859-1
      - id: text
        type: str
        size-eos: true
        encoding: ISO-8859-1
  physical_size:
    seq:
      - id: pixels_per_unit_x
        type: u4
      - id: pixels_per_unit_y
        type: u4
      - id: unit
        type: u1
        enum: unit
  modified:
    seq:
      - id: year
        type: u2
      - id: month
        type: u1
      - id: day
        type: u1
      - id: hour
        type: u1
      - id: minute
        type: u1
      - id: second
        type: u1
  gamma:
    seq:
      - id: gamma_int
        type: u4
    instances:
      gamma:
        value: gamma_int / 100000.0
enums:
  color_type:
    0: greyscale
    2: truecolor
    3: indexed
    4: greyscale_alpha
    6: truecolor_alpha
  interlace:
    0: none
    1: adam7
  unit:
    0: unknown
    1: meter
