// Plays the ClearBook an exported page holds with the web player's own timeline, on a virtual
// clock, and prints the trace as `vkctl book play --trace` prints it.
//
//   node trace.js DIR/index.html [--slide N] [--limit SECONDS] [--resume-after SECONDS]
'use strict';
const fs = require('fs');
const path = require('path');

const args = process.argv.slice(2);
const page = args[0];
const option = (name, fallback) => {
    const i = args.indexOf(name);
    return i >= 0 ? Number(args[i + 1]) : fallback;
};
const html = fs.readFileSync(page, 'utf8');
const found = /<script type="application\/json" id="clearbook">([\s\S]*?)<\/script>/.exec(html);
if (!found) {
    console.error(page + ' holds no ClearBook');
    process.exit(1);
}
const player = require(path.join(path.dirname(path.resolve(page)), 'player.js'));
const lines = player.runTrace(JSON.parse(found[1]), {
    slide: option('--slide', 1) - 1,
    limitMs: Math.round(option('--limit', 600) * 1000),
    resumeAfterMs: Math.round(option('--resume-after', 1) * 1000),
});
process.stdout.write(lines.map((l) => l + '\n').join(''));
