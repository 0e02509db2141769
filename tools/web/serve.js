// A static file server for build-web/: plain files, the usual types, no special
// headers (the page needs none).   node tools/web/serve.js DIR [PORT]
// prints "tivrel: serving DIR on http://localhost:PORT/" and serves until stopped.
// As a module: serveFolder(dir, port = 0) resolves to the listening http.Server.
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const Types = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.wasm': 'application/wasm',
    '.png': 'image/png', '.css': 'text/css; charset=utf-8', '.json': 'application/json',
};

function serveFolder(dir, port = 0)
{
    const base = path.resolve(dir);
    const server = http.createServer((request, response) => {
        let name;
        try {
            name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
        } catch (e) {
            response.writeHead(400).end();
            return;
        }
        const file = path.join(base, path.normalize(name).replace(/^(\.\.[/\\])+/, ''));
        const target = file.endsWith(path.sep) ? path.join(file, 'index.html') : file;
        if (!target.startsWith(base) || request.method !== 'GET' && request.method !== 'HEAD') {
            response.writeHead(404).end();
            return;
        }
        fs.stat(target, (error, stat) => {
            if (error || !stat.isFile()) {
                response.writeHead(404, {'Content-Type': 'text/plain'}).end('not found\n');
                return;
            }
            response.writeHead(200, {'Content-Type': Types[path.extname(target)] || 'application/octet-stream',
                                     'Content-Length': stat.size});
            if (request.method === 'HEAD')
                response.end();
            else
                fs.createReadStream(target).pipe(response);
        });
    });
    return new Promise((resolve, reject) => {
        server.once('error', reject);
        server.listen(port, 'localhost', () => resolve(server));
    });
}

module.exports = {serveFolder};

if (require.main === module) {
    const dir = process.argv[2] || 'build-web';
    serveFolder(dir, Number(process.argv[3] || 8000)).then((server) => {
        console.log('tivrel: serving ' + dir + ' on http://localhost:' + server.address().port + '/ (Ctrl+C stops)');
    }, (error) => {
        console.error('tivrel: cannot serve on port ' + (process.argv[3] || 8000) + ': ' + error.message);
        process.exit(1);
    });
}
