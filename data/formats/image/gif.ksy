meta:
  id: gif
  title: Graphics Interchange Format image
  file-extension: gif
  xref:
    mime: image/gif
  endian: le
doc: |
  A header, the logical screen, an optional global colour table, then
  blocks (images, extensions) up to the trailer 0x3b.
seq:
  - id: signature
    contents: "GIF"
  - id: version
    type: str
    size: 3
    encoding: ASCII
  - id: screen
    type: logical_screen
  - id: global_color_table
    type: rgb
    repeat: expr
    repeat-expr: 2 << screen.color_table_size
    if: screen.has_color_table
  - id: blocks
    type: block
    repeat: until
    repeat-until: _.introducer == introducer::trailer or _io.eof
types:
  logical_screen:
    seq:
      - id: width
        type: u2
      - id: height
        type: u2
      - id: has_color_table
        type: b1
      - id: color_resolution
        type: b3
      - id: sorted
        type: b1
      - id: color_table_size
        type: b3
      - id: background_color
        type: u1
      - id: pixel_aspect_ratio
        type: u1
  rgb:
    seq:
      - id: r
        type: u1
      - id: g
        type: u1
      - id: b
        type: u1
  block:
    seq:
      - id: introducer
        type: u1
        enum: introducer
      - id: body
        type:
          switch-on: introducer
          cases:
            'introducer::image': image
            'introducer::extension': extension
  image:
    seq:
      - id: left
        type: u2
      - id: top
        type: u2
      - id: width
        type: u2
      - id: height
        type: u2
      - id: has_color_table
        type: b1
      - id: interlaced
        type: b1
      - id: sorted
        type: b1
      - id: reserved
        type: b2
      - id: color_table_size
        type: b3
      - id: local_color_table
        type: rgb
        repeat: expr
        repeat-expr: 2 << color_table_size
        if: has_color_table
      - id: lzw_min_code_size
        type: u1
      - id: data
        type: sub_block
        repeat: until
        repeat-until: _.length == 0
  extension:
    seq:
      - id: label
        type: u1
        enum: extension_label
      - id: data
        type: sub_block
        repeat: until
        repeat-until: _.length == 0
  sub_block:
    seq:
      - id: length
        type: u1
      - id: bytes
        size: length
enums:
  introducer:
    0x21: extension
    0x2c: image
    0x3b: trailer
  extension_label:
    0x01: plain_text
    0xf9: graphic_control
    0xfe: comment
    0xff: application
