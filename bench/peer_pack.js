// For bench/peer.sh.
//   node peer_pack.js select LIST OUT: copies to OUT the files of LIST (one
//     path a line) that are PNG files of at most 2048 x 2048 (the peer refuses
//     a whole set when one image is larger than a page).
//   node peer_pack.js pack LIST OUTDIR PEERDIR: packs them with the peer
//     packer under PEERDIR/node_modules, writes its pages into OUTDIR and
//     prints "pages=N area=TEXELS placed=FILES". Settings match the script's texatlas run:
//     pages up to 2048 x 2048, power-of-two sizes, no rotation, no trimming,
//     no padding, every file placed, MaxRects.
"use strict";
const fs = require("fs");
const path = require("path");

const pngSignature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
const readLines = (file) => fs.readFileSync(file, "utf8").split("\n").filter((line) => line.length > 0);

// Width and height stand big-endian in the IHDR chunk, right after the signature.
function pngSize(header) {
    if (header.length < 24 || !header.subarray(0, 8).equals(pngSignature)) return null;
    return { width: header.readUInt32BE(16), height: header.readUInt32BE(20) };
}

if (process.argv[2] === "select") {
    const [listFile, outFile] = process.argv.slice(3);
    const kept = [];
    for (const file of readLines(listFile)) {
        const header = Buffer.alloc(24);
        const fd = fs.openSync(file, "r");
        const read = fs.readSync(fd, header, 0, 24, 0);
        fs.closeSync(fd);
        const size = pngSize(header.subarray(0, read));
        if (!size) console.error(`left out (not a PNG file): ${file}`);
        else if (size.width > 2048 || size.height > 2048)
            console.error(`left out (${size.width} x ${size.height}, larger than a page): ${file}`);
        else kept.push(file);
    }
    fs.writeFileSync(outFile, kept.map((file) => file + "\n").join(""));
    process.exit(0);
}

const [listFile, outDir, peerDir] = process.argv.slice(3);
const packer = require(path.join(peerDir, "node_modules", "free-tex-packer-core"));

const images = readLines(listFile).map((file) => ({ path: file, contents: fs.readFileSync(file) }));

const options = {
    textureName: "peer",
    width: 2048,
    height: 2048,
    fixedSize: false,
    powerOfTwo: true,
    padding: 0,
    extrude: 0,
    allowRotation: false,
    allowTrim: false,
    detectIdentical: false,
    packer: "MaxRectsBin",
    packerMethod: "BestShortSideFit",
    exporter: "JsonHash",
    textureFormat: "png",
    removeFileExtension: false,
    prependFolderName: true,
};

packer
    .packAsync(images, options)
    .then((results) => {
        fs.mkdirSync(outDir, { recursive: true });
        let pages = 0, area = 0, placed = 0;
        for (const item of results) {
            fs.writeFileSync(path.join(outDir, item.name), item.buffer);
            const size = pngSize(item.buffer);
            if (size) {
                pages += 1;
                area += size.width * size.height;
            } else {
                placed += Object.keys(JSON.parse(item.buffer.toString("utf8")).frames).length;
            }
        }
        console.log(`pages=${pages} area=${area} placed=${placed}`);
    })
    .catch((error) => {
        console.error("peer_pack:", error);
        process.exit(1);
    });
