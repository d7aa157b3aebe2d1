-- The sample schema that `bash scripts/run` documents: three databases,
-- tables with Chinese, English and no comments, and one table whose
-- columns show how lengths, defaults and keys are displayed.
CREATE DATABASE shop CHARACTER SET utf8mb4;
CREATE DATABASE library CHARACTER SET utf8mb4;
CREATE DATABASE hr CHARACTER SET utf8mb4;

CREATE TABLE shop.customer (
    id INT NOT NULL AUTO_INCREMENT COMMENT '客户编号',
    name VARCHAR(60) NOT NULL COMMENT '客户名称',
    phone VARCHAR(20) NULL COMMENT '联系电话',
    city VARCHAR(40) NOT NULL DEFAULT '上海' COMMENT '所在城市',
    created_at DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP COMMENT '建档时间',
    PRIMARY KEY (id)
) ENGINE=InnoDB COMMENT='客户资料';

CREATE TABLE shop.product (
    id INT UNSIGNED NOT NULL AUTO_INCREMENT COMMENT 'Product number',
    sku VARCHAR(32) NOT NULL DEFAULT '' COMMENT 'Stock keeping unit',
    price DECIMAL(10,2) NOT NULL DEFAULT 0.00 COMMENT '单价 (unit price)',
    weight DECIMAL(8,3) NULL COMMENT 'Weight in kilograms',
    summary TEXT NULL COMMENT 'Short description',
    details MEDIUMTEXT NULL COMMENT '详细介绍',
    manual LONGTEXT NULL,
    photo BLOB NULL COMMENT 'Product photo',
    stock INT NOT NULL DEFAULT 0 COMMENT '库存数量',
    on_sale TINYINT(1) NOT NULL DEFAULT 1,
    PRIMARY KEY (id),
    UNIQUE KEY sku (sku)
) ENGINE=InnoDB COMMENT='Products on sale';

CREATE TABLE shop.orders (
    id BIGINT NOT NULL AUTO_INCREMENT COMMENT '订单号',
    customer_id INT NOT NULL COMMENT '客户编号',
    ordered_at DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP COMMENT '下单时间',
    total DECIMAL(12,2) NOT NULL DEFAULT 0.00 COMMENT '订单金额',
    note VARCHAR(255) NULL,
    PRIMARY KEY (id)
) ENGINE=InnoDB COMMENT='订单';

CREATE TABLE shop.order_line (
    order_id BIGINT NOT NULL,
    line_no SMALLINT NOT NULL,
    product_id INT UNSIGNED NOT NULL,
    quantity INT NOT NULL DEFAULT 1,
    PRIMARY KEY (order_id, line_no)
) ENGINE=InnoDB;

CREATE TABLE library.book (
    isbn CHAR(13) NOT NULL COMMENT 'ISBN-13',
    title VARCHAR(200) NOT NULL COMMENT 'Title as printed',
    author VARCHAR(120) NULL COMMENT 'First author',
    published YEAR NULL COMMENT 'Year of publication',
    abstract TEXT NULL COMMENT 'Publisher''s abstract',
    PRIMARY KEY (isbn)
) ENGINE=InnoDB COMMENT='Books in the catalogue';

CREATE TABLE library.member (
    id INT NOT NULL AUTO_INCREMENT COMMENT '读者证号',
    name VARCHAR(50) NOT NULL COMMENT '姓名',
    joined DATE NOT NULL COMMENT '办证日期',
    PRIMARY KEY (id)
) ENGINE=InnoDB COMMENT='读者';

CREATE TABLE library.loan (
    isbn CHAR(13) NOT NULL,
    member_id INT NOT NULL,
    lent_on DATE NOT NULL,
    returned_on DATE NULL,
    PRIMARY KEY (isbn, member_id, lent_on)
) ENGINE=InnoDB;

CREATE TABLE hr.department (
    id SMALLINT NOT NULL AUTO_INCREMENT COMMENT '部门编号',
    name VARCHAR(40) NOT NULL COMMENT '部门名称',
    PRIMARY KEY (id)
) ENGINE=InnoDB COMMENT='部门';

CREATE TABLE hr.employee (
    id INT NOT NULL AUTO_INCREMENT COMMENT 'Employee number',
    department_id SMALLINT NULL COMMENT 'Department, empty while unassigned',
    name VARCHAR(60) NOT NULL COMMENT 'Full name',
    salary DECIMAL(10,2) NOT NULL DEFAULT 0.00 COMMENT '月薪',
    resume LONGTEXT NULL COMMENT 'Résumé text',
    PRIMARY KEY (id)
) ENGINE=InnoDB COMMENT='Staff';

INSERT INTO shop.customer (name, phone, city) VALUES
    ('张三', '13800000001', '北京'), ('Alice Brown', NULL, 'London');
INSERT INTO shop.product (sku, price, summary) VALUES
    ('TEA-001', 38.50, 'Green tea, 250 g'), ('CUP-002', 12.00, 'Porcelain cup');
INSERT INTO hr.department (name) VALUES ('研发部'), ('Sales');
