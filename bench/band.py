#!/usr/bin/python3
"""Frame cost of the error band: a trivial shader under --watch with the band
shown (the viewer file is broken, so start-up fails but the image draws) against
the same without it. Both run on a pseudo-terminal, since only someone at a
terminal is shown the band. Run through `scripts/bench.sh --band`; prints
figures, judges nothing."""

import os, sys

from bench import TRIVIAL, TRIVIAL_FRAMES, arguments, ms, private_display, shader_set, time_group

# Its own standard output a pseudo-terminal; passes the exit status on.
ON_TERMINAL = ["/usr/bin/python3", "-c", "import os, pty, sys; sys.exit(os.waitstatus_to_exitcode("
               "pty.spawn(sys.argv[1:])))"]


def report(args, tmp):
    trivial = shader_set(tmp, "trivial", args.shaders, {"Image.frag": TRIVIAL})
    broken = shader_set(tmp, "broken", trivial, {"TextureViewer.fs.frag": "void main() {"})
    t, _ = time_group({"band": (ON_TERMINAL + [args.quorlin, "--watch", broken], TRIVIAL_FRAMES),
                       "none": (ON_TERMINAL + [args.quorlin, "--watch", trivial], TRIVIAL_FRAMES)}, args, tmp)
    return "\n".join(["| Figure | Measured | Against | Ratio |", "|---|---|---|---|",
                      f"| Error band, trivial shader, `--watch`: per frame, shown vs not | "
                      f"{' / '.join(ms(x) for x in t['band'])} | {' / '.join(ms(x) for x in t['none'])} | "
                      f"{' / '.join(f'{x / y:.2f}' for x, y in zip(t['band'], t['none']))} |",
                      "", f"LP_NUM_THREADS={os.environ['LP_NUM_THREADS']}; per frame is wall / CPU."])


def main():
    args = arguments(__doc__).parse_args()
    with private_display("quorlin-band-") as (tmp, _):
        print(report(args, tmp))

if __name__ == "__main__":
    sys.exit(main())
